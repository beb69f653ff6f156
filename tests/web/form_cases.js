// The plan form in a hurry: numbers never split or guessed, the planner's
// refusals in the page's words beside their row or field, the rule presets
// against zelmar-plan's own arguments, progress and the link's outcome.
// Cases of web_test.js's table.
"use strict";
const assert = require("assert/strict");

module.exports = ({ planTool, fillPlanForm, runPlan, shownPlan }) => {
  const formArgs = (page) => page.evaluate(() => window.zelmarPage.form.args());
  const errorOf = (page, field) => page.textContent(`#p-${field}-error`);
  // Pressed 探索 with this form: the field's refusal, no search started.
  async function refused(page, form, field) {
    await fillPlanForm(page, form);
    await page.click("#p-start");
    assert.equal(await page.isDisabled("#p-stop"), true, "no search started");
    assert.equal(await page.getAttribute(`#p-${field}`, "aria-invalid"), "true", field);
    return errorOf(page, field);
  }
  const inEnglish = async (page, field) => {
    await page.click("#lang");
    const text = await errorOf(page, field);
    await page.click("#lang");
    return text;
  };

  // [form, field, Japanese, English]: typed as a hurried person types.
  const hurried = [
    [{ count: "3", fixed: "806,125" }, "fixed", /^「806,125」: コンマ（,）は使えません。小数点は「.」/, /^“806,125” a comma cannot be used/],
    [{ count: "3", fixed: "８０６．１２５" }, "fixed", /全角の数字は読めません: 806\.125 と入力してください/, /type 806\.125$/],
    [{ count: "3", fixed: "806125" }, "fixed", /「806125」: 3,000 MHz を超えています。kHz で入力していませんか/, /above 3,000 MHz: typed in kHz\?/],
    [{ count: "3", exclude: "807,000:808,000" }, "exclude", /「807,000:808,000」: コンマ/, /comma/],
    [{ count: "3", bands: [["range", "470,000:480,000"]] }, "bands", /^帯域 1: 「470,000:480,000」: コンマ/, /^Band 1: /],
    [{ count: "3", bands: [["b"], ["range", ""]] }, "bands", /^帯域 2: 範囲を入れてください/, /^Band 2: enter a range/],
    [{ count: "3", bands: [["tv", "21"], ["tv", "53"]] }, "bands", /^帯域 2: 「53」: テレビ ch は 13～52 です/, /^Band 2: “53” TV channels run from 13 to 52/],
    [{ name: "HH", count: "2", groups: [{ name: "IEM", count: "2", bands: [["tv", "12"]] }] }, "g2-bands", /^帯域 1: 「12」/, /^Band 1: “12”/],
  ];
  // [form, field, Japanese, English]: what only the planner knows, from its codes.
  const planners = [
    [{ bands: [["b", "", "", "40"]] }, "bands", /^帯域 1: この帯域の周波数は 30 個（除外を除く）しかなく、40 波は入りません/, /^Band 1: this band has only 30 frequencies/],
    [{ bands: [["b", "", "", "2"], ["range", "806:810", "", "2"]] }, "bands", /^帯域 1 と帯域 2 が 806\.125 MHz で重なっています/, /^bands 1 and 2 share 806\.125 MHz/],
    [{ bands: [["b", "", "", "2"], ["tv", "21", "", "2"]], count: "5" }, "count", /波数の合計 5 が、帯域ごとの波数と固定波 0 波の和 4 と違います/, /the total 5 differs .* 4 \(leave it empty for 4\)/],
    [{ count: "3", fixed: "806.125 806.200" }, "fixed", /固定波 806\.125 と 806\.200 MHz が最小周波数間隔 0\.125 MHz 以内/, /806\.125 and 806\.200 MHz lie within the minimum spacing of 0\.125 MHz/],
    [{ count: "4", fixed: "806.125 806.500 806.875" }, "fixed",
      /だけで既に2波3次 \(2a−b\)の積が当たります: 2 × 806\.500 − 806\.(125|875) = 806\.(875|125) MHz（806\.(875|125) MHz の許容幅 ±0\.000 MHz 以内）/,
      /a two-carrier third order \(2a−b\) product on a carrier: 2 × 806\.500 − 806\.(125|875) = 806\.(875|125) MHz/],
    [{ name: "HH", count: "2", groups: [{ name: "IEM", bands: [["b", "", "", "31"]] }] }, "g2-bands", /^帯域 1: この帯域の周波数は 30 個/, /^Band 1: this band has only 30/],
  ];

  // The presets' requests, as zelmar-plan's arguments for four B band carriers.
  const presets = [
    ["check", ["--count", "4"]],
    ["standard", ["--tv-edge", "0.5", "--count", "4", "--window", "3tx3=0"]],
    ["strict", ["--tv-edge", "0.5", "--count", "4", "--guard", "0.1", "--window", "3tx3=0.05", "--window", "2tx5=0.025"]],
  ];

  return [
    ["hurried numbers are refused beside their field, never split or guessed", async ({ page }) => {
      await page.click("#tab-plan");
      for (const [form, field, ja, en] of hurried) {
        assert.match(await refused(page, form, field), ja, JSON.stringify(form));
        assert.match(await inEnglish(page, field), en, JSON.stringify(form));
        assert.equal(await formArgs(page), null);
      }
      // Semicolons and spaces separate; LOW-HIGH is a range, as LOW:HIGH.
      await fillPlanForm(page, { count: "4", fixed: "806.125;807.000 808.250", exclude: "807.5-808.0", bands: [["range", "806-809:0.125"]] });
      const args = ["--band", "806:809:0.125", "--exclude", "807.5:808.0", "--fixed", "806.125", "--fixed", "807.000",
        "--fixed", "808.250", "--count", "4"];
      assert.deepEqual(await formArgs(page), ["--json", ...args]);
      const got = await runPlan(page, { count: "4", fixed: "806.125;807.000 808.250", exclude: "807.5-808.0", bands: [["range", "806-809:0.125"]] });
      assert.deepEqual(got.plan, JSON.parse(planTool(args)).plan);
    }],

    ["the planner's refusals, from its codes, in Japanese and English beside their row", async ({ page }) => {
      await page.click("#tab-plan");
      for (const [form, field, ja, en] of planners) {
        const started = Date.now();
        assert.match(await refused(page, form, field), ja, JSON.stringify(form));
        assert.ok(Date.now() - started < 5000, "refused at once");
        assert.equal(await page.getAttribute("#p-outcome", "data-state"), "refused");
        assert.doesNotMatch(await errorOf(page, field), /[a-z]{3}/, "no English in Japanese");
        assert.match(await inEnglish(page, field), en, JSON.stringify(form));
      }
    }],

    ["presets: standard on opening, chosen then adjusted; their requests are zelmar-plan's", async ({ page }) => {
      await page.click("#tab-plan");
      assert.equal(await page.inputValue("#p-preset"), "standard");
      assert.deepEqual([await page.inputValue("#p-tvedge"), await page.inputValue("#p-w3tx3")], ["0.5", "0"]);
      for (const [name, args] of presets) {
        await page.selectOption("#p-preset", name);
        await page.fill("#p-count", "4");
        assert.deepEqual(await formArgs(page), ["--json", ...args], name);
        await page.click("#p-start");
        await page.waitForFunction(() => document.getElementById("p-outcome").dataset.state === "outcome");
        assert.deepEqual((await shownPlan(page)).plan, JSON.parse(planTool(args)).plan, name);
      }
      // A new group takes the chosen rules; a rule changed by hand is "adjusted".
      await page.click("#p-add-group");
      assert.equal(await page.inputValue("#p-g2-w2tx5"), "0.025");
      await page.fill("#p-g2-guard", "0.2");
      assert.equal(await page.inputValue("#p-preset"), "custom");
      await page.fill("#p-g2-guard", "0.1");
      assert.equal(await page.inputValue("#p-preset"), "strict");
    }],

    ["progress: a time bar and each family's best so far, no node counts; a link brings the outcome back", async ({ page }) => {
      await page.click("#tab-plan");
      await fillPlanForm(page, { bands: "470:714:0.025", count: "8", w3tx3: "0", time: "2" });
      await page.click("#p-start");
      await page.waitForSelector("#p-progress .so-far");
      const progress = await page.evaluate(() => ({
        max: document.getElementById("p-progress-bar").max,
        text: document.getElementById("p-progress").textContent,
        families: [...document.querySelectorAll("#p-progress .so-far")].map((e) => e.textContent),
      }));
      assert.equal(progress.max, 2000);
      assert.doesNotMatch(progress.text, /ノード|nodes|最大でも/);
      assert.deepEqual(progress.families.map((t) => /^最小離隔 (\S+)/.exec(t)[1]), ["2波3次", "3波3次"]);
      await page.waitForFunction(() => document.getElementById("p-outcome").dataset.state === "outcome");
      // Not proven in 2 s: beside it, the clearance not yet ruled out.
      assert.match(await page.textContent("#p-outcome .bound"), /^ここまでに確かめた上限: 最小離隔 2波3次 \(2a−b\) [0-9]+\.[0-9]{3} MHz まで/);
      // On a phone the outcome comes into view; a link brings it back.
      await page.setViewportSize({ width: 360, height: 740 });
      const want = await runPlan(page, { count: "5", w3tx3: "0" });
      assert.ok(await page.evaluate(() => document.getElementById("p-outcome").getBoundingClientRect().top < window.innerHeight));
      const url = await page.evaluate(() => location.href);
      assert.match(url, /[#&]plan=1(&|$)/);
      const again = await page.context().newPage();
      await again.goto(url);
      await again.waitForFunction(() => document.getElementById("p-outcome").dataset.state === "outcome");
      assert.deepEqual((await shownPlan(again)).plan, want.plan);
      await again.close();
      await page.fill("#p-count", "6");  // the outcome no longer that of the form
      assert.doesNotMatch(await page.evaluate(() => location.href), /plan=1/);
    }],
  ];
};
