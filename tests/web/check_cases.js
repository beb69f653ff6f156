// The check tab's words on its readings: beside a field the check did not
// read whole, what it read and why, in both languages; the products under
// the findings; the stale mark after an edit. The check itself still equals
// zelmar-check. Cases of web_test.js's table.
"use strict";
const assert = require("assert/strict");
const { execFileSync } = require("child_process");

module.exports = ({ checkTool }) => {
  const batch = (sets) => execFileSync(checkTool, ["--batch"], { input: sets.map((s) => JSON.stringify(s) + "\n").join(""), encoding: "utf8" })
    .trim().split("\n").map((line) => JSON.parse(line));

  // Fills the fields, presses 計　算 and returns what the page shows; a
  // field's note is what its aria-describedby names.
  const check = (page, texts) => page.evaluate((texts) => {
    const inputs = [...document.querySelectorAll("#fields input")];
    inputs.forEach((input, i) => { input.value = texts[i] || ""; });
    document.getElementById("calc").click();
    return {
      fields: inputs.map((i) => i.value),
      result: document.getElementById("result").textContent,
      findings: [...document.querySelectorAll("#findings li")].map((li) => JSON.parse(li.dataset.finding)),
      products: [...document.querySelectorAll("#findings .product")].map((e) => e.textContent),
    };
  }, texts);
  const notes = (page) => page.$$eval("#fields input", (l) => l.map((i) =>
    (i.getAttribute("aria-describedby") ? document.getElementById(i.getAttribute("aria-describedby")).textContent : "")));
  const shownNotes = (page) => page.$$eval(".field-note", (l) => l.filter((n) => n.textContent).length);
  const sameAsTool = ({ products, ...got }, want, what) =>
    assert.deepEqual(got, { fields: want.fields, result: want.result.replace(/\r\n/g, "\n"), findings: want.findings }, what);

  // Texts typed in a hurry, the field their note stands beside after the
  // check (1-based), and the note in Japanese and in English.
  const hurried = [
    [["806、125"], 1, "806、125 は 806.000 と読みました。小数点は「.」です", "806、125 was read as 806.000. The decimal point is “.”."],
    [["８０６．１２５"], 1, "全角の数字は読めません: 806.125 と入力してください", "Full-width digits cannot be read: type 806.125"],
    [["806．125"], 1, "806．125 は 806.000 と読みました。全角の数字は読めません: 806.125 と入力してください", "806．125 was read as 806.000. Full-width digits cannot be read: type 806.125"],
    [["806125"], 1, "806125 は 806125.000 と読みました。kHz で入力していませんか? 806.125 MHz なら 806.125 と入力してください。", "806125 was read as 806125.000. Typed in kHz? For 806.125 MHz, type 806.125."],
    [["806.125MHz"], 1, "806.125MHz は 806.125 と読みました。「M」から後ろは読みません。", "806.125MHz was read as 806.125. Reading stopped at “M”."],
    [["806.1 806.5"], 1, "806.1 806.5 は 806.100 と読みました。空白から後ろは読みません。", "806.1 806.5 was read as 806.100. Reading stopped at a space."],
    [["abc"], 1, "abc は数値として読めません（空欄と同じです）。", "abc is not a number (the field counts as empty)."],
    [["-806.125"], 1, "-806.125 は -806.125 と読みました。負の周波数はありません。", "-806.125 was read as -806.125. A frequency cannot be negative."],
    [["5e9"], 1, "5e9 は 5000000000.000 と読みました。無線マイクの周波数ではありません（3,000 MHz 以下です）。", "5e9 was read as 5000000000.000. No wireless microphone uses this frequency (3,000 MHz at most)."],
    [[" 806.125", "806.250 ", "806.5e0", "８０６．５　"], 4, "全角の数字は読めません: 806.5 と入力してください", "Full-width digits cannot be read: type 806.5"],
    // The note goes where the value is shown after sorting.
    [["809.000", "806,125"], 1, "806,125 は 806.000 と読みました。小数点は「.」です", "806,125 was read as 806.000. The decimal point is “.”."],
  ];

  return [
    ["hurried texts get their note beside their field; the check stays zelmar-check's", async ({ page }) => {
      const answers = batch(hurried.map(([texts]) => texts));
      for (const [i, [texts, field, ja, en]] of hurried.entries()) {
        sameAsTool(await check(page, texts), answers[i], texts.join(" | "));
        const want = (note) => Array.from({ length: 12 }, (_, k) => (k === field - 1 ? note : ""));
        assert.deepEqual(await notes(page), want(ja), texts.join(" | "));
        assert.equal(await shownNotes(page), ja ? 1 : 0);
        await page.click("#lang");
        assert.deepEqual(await notes(page), want(en), texts.join(" | "));
        await page.click("#lang");
      }
      await page.click("#clear");
      assert.equal(await shownNotes(page), 0);
    }],

    ["each finding shows its frequencies and product", async ({ page }) => {
      // Raster values (eighths of a MHz are exact doubles), so whole kHz
      // give the same products.
      let seed = 7;
      const next = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
      const raster = () => (806 + Math.floor(next() * 32) * 0.125).toFixed(3);
      const sets = [["805.250", "806.125", "807.000"], ["806.125", "808.000", "809.875", "806.000"],
        ...Array.from({ length: 20 }, () => Array.from({ length: 6 + Math.floor(next() * 7) }, raster))];
      const answers = batch(sets);
      let lines = 0;
      for (const [i, set] of sets.entries()) {
        const got = await check(page, set);
        sameAsTool(got, answers[i], set.join(" "));
        const khz = got.fields.map((t) => Math.round(Number(t) * 1000));
        const mhz = (k) => (k / 1000).toFixed(3);
        const want = answers[i].findings.map(({ kind, victim, pair: [a, b] }) => {
          const [ka, kb] = [khz[a - 1], khz[b - 1]];
          if (kind === "same") return `F${a} = F${b} = ${mhz(ka)} MHz`;
          if (kind === "close") return `F${b} − F${a} = ${mhz(kb)} − ${mhz(ka)} = ${mhz(kb - ka)} MHz`;
          const [twice, once] = victim > b ? [b, a] : [a, b];
          const product = 2 * khz[twice - 1] - khz[once - 1];
          assert.equal(product, khz[victim - 1], set.join(" "));
          return `F${victim} = 2 × F${twice} − F${once} = 2 × ${mhz(khz[twice - 1])} − ${mhz(khz[once - 1])} = ${mhz(product)} MHz`;
        });
        assert.deepEqual(got.products, want, set.join(" "));
        lines += want.length;
      }
      assert.ok(lines > 40, `only ${lines} finding lines`);
      assert.deepEqual((await check(page, sets[0])).products,
        ["F3 = 2 × F2 − F1 = 2 × 806.125 − 805.250 = 807.000 MHz", "F1 = 2 × F2 − F3 = 2 × 806.125 − 807.000 = 805.250 MHz"]);
    }],

    ["a result under edited fields is marked stale until 計　算 or クリア", async ({ page }) => {
      // The visible note, or "" when hidden, and whether the result is marked.
      const stale = () => page.evaluate(() => [document.getElementById("check-stale").offsetHeight ? document.getElementById("check-stale").textContent : "",
        ["result", "findings"].every((id) => document.getElementById(id).classList.contains("stale"))]);
      await page.fill("#f1", "806.125");
      assert.deepEqual(await stale(), ["", false]);  // nothing calculated yet
      await check(page, ["806.125", "808.000", "809.875"]);
      assert.deepEqual(await stale(), ["", false]);
      await page.focus("#f2");
      await page.keyboard.type("5");
      assert.match((await stale())[0], /前回の計算/);
      assert.equal((await stale())[1], true);
      await page.click("#calc");
      assert.deepEqual(await stale(), ["", false]);
      await page.evaluate(() => {
        const data = new DataTransfer();
        data.setData("text/plain", "807.000 807.500");
        document.getElementById("f4").dispatchEvent(new ClipboardEvent("paste", { clipboardData: data, bubbles: true, cancelable: true }));
      });
      await page.click("#lang");
      assert.equal((await stale())[1], true);
      assert.match((await stale())[0], /last calculation/);
      await page.click("#clear");
      assert.deepEqual(await stale(), ["", false]);
    }],
  ];
};
