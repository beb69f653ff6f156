// Drives build/web/zelmar.html in Debian's Chromium, opened from disk with
// the network off, as a person would: one table of cases, each against the
// command-line tools of the native build as the reference.
//   usage: node web_test.js PAGE.html ZELMAR_CHECK ZELMAR_PLAN SHOT_DIR [--bench]
"use strict";
const { chromium } = require("playwright-core");
const { execFileSync, spawnSync } = require("child_process");
const assert = require("assert/strict");
const fs = require("fs");
const path = require("path");

const [pagePath, checkTool, planTool, shotDir] = process.argv.slice(2);
const bench = process.argv.includes("--bench");
const pageUrl = "file://" + path.resolve(pagePath);

// A small deterministic generator, so a failure can be replayed.
let seed = 20261209;
const random = () => ((seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648);
const pick = (list) => list[Math.floor(random() * list.length)];

// Field texts of every kind the dialog meets: raster channels (which collide
// often), odd decimals, exponents, signs, spaces, junk and empty fields.
function randomField() {
  const raster = () => (806 + Math.floor(random() * 32) * 0.125).toFixed(pick([0, 1, 2, 3, 3, 3]));
  return pick([
    raster, raster, raster, () => "",
    () => (800 + random() * 20).toFixed(Math.floor(random() * 8)),
    () => pick(["-", "+", " ", "\t"]) + raster(),
    () => raster() + pick(["MHz", " x", "..5", "e0", "d1", "e-1"]),
    () => pick(["abc", "0", "-0", ".", "1e999", "-1e999", "806.1245", "806.0625", "９"]),
  ])();
}

// Standard output (one JSON line, for status 1 too); `warnings` gets standard error.
function planTool_(args, warnings = []) {
  const run = spawnSync(planTool, [...args, "--json"], { encoding: "utf8" });
  warnings.push(...run.stderr.split("\n").filter((l) => l).map((l) => l.replace(/^zelmar-plan: /, "")));
  return run.stdout;
}

// Group 1's fields, then form.groups for groups 2, 3, ... (p-g2-..., one
// group each); form["g2-name"] and such overwrite one field last.
// form.bands: ranges separated by spaces, or rows [kind, value, step, count].
async function fillPlanForm(page, form) {
  await page.evaluate((form) => {
    const $ = (id) => document.getElementById(id);
    while (window.zelmarPage.form.groupCount() > 1) $(`p-g${window.zelmarPage.form.groupCount()}-remove`).click();
    for (const id of ["tvedge", "exclude", "time"]) $("p-" + id).value = form[id] || "";
    [form, ...(form.groups || [])].forEach((group, i) => {
      if (i > 0) $("p-add-group").click();
      const p = i ? `p-g${i + 1}-` : "p-";
      for (const id of ["name", "label", "apart", "spares", "count", "spacing", "guard", "w3tx3", "w2tx5", "fixed"]) {
        $(p + id).value = group[id] || "";
      }
      $(p + "max").checked = !!group.max;
      const rows = $(p + "band-rows");
      rows.textContent = "";
      const bands = typeof group.bands === "string" ? group.bands.split(" ").map((b) => ["range", b]) : group.bands || [];
      for (const [kind, value, step, count] of bands) {
        $(p + "add-band").click();
        const row = rows.lastElementChild;
        row.querySelector("select").value = kind;
        row.querySelector("select").dispatchEvent(new Event("change"));
        [[".band-value", value], [".band-step", step], [".band-count", count]].forEach(([c, v]) => { row.querySelector(c).value = v || ""; });
      }
    });
    for (const [key, value] of Object.entries(form)) if (/^g[0-9]+-/.test(key)) $("p-" + key).value = value;
  }, form);
}

async function runPlan(page, form) {
  await fillPlanForm(page, form);
  return startPlan(page);
}

async function startPlan(page) {
  await page.click("#p-start");
  await page.waitForFunction(() => {
    const s = document.getElementById("p-outcome").dataset.state;
    return s && s !== "searching";
  });
  return shownPlan(page);
}

function shownPlan(page) {
  return page.evaluate(() => ({
    state: document.getElementById("p-outcome").dataset.state,
    plan: [...document.querySelectorAll("#p-plan .f")].map((e) => e.textContent),
    bands: [...document.querySelectorAll("#p-plan .band")].map((e) => e.textContent),
    margins: [...document.querySelectorAll("#p-outcome .margin")].map((e) => e.textContent),
    errors: [...document.querySelectorAll("#plan-form .error")].map((e) => e.textContent).join(""),
    text: document.getElementById("p-outcome").textContent,
    notes: [...document.querySelectorAll("#p-outcome .note")].map((e) => e.textContent),
  }));
}

// The plan form's fields and zelmar-plan's arguments for the same request.
const planRequests = [
  { form: { count: "6" }, args: ["--count", "6"] },
  { form: { max: true }, args: ["--max"] },
  { form: { bands: "470:480:0.5", count: "5", fixed: "471.000" },
    args: ["--band", "470:480:0.5", "--count", "5", "--fixed", "471.000"] },
  { form: { count: "4", spacing: "0.250", guard: "0.100", exclude: "807:807.5 808.000" },
    args: ["--count", "4", "--spacing", "0.250", "--guard", "0.100", "--exclude", "807:807.5",
      "--exclude", "808.000"] },
  { form: { bands: "806:806.5", count: "12" }, args: ["--band", "806:806.5", "--count", "12"] },
  { form: { fixed: "806.125 806.250", count: "3" }, args: ["--fixed", "806.125", "--fixed", "806.250", "--count", "3"] },
  { form: { count: "3", fixed: "807.000", exclude: "806.5:807.5" },  // a warning beside the plan
    args: ["--count", "3", "--fixed", "807.000", "--exclude", "806.5:807.5"] },
  { form: { bands: [["b", "", "", "4"], ["tv", "21", "0.025", "2"]], w3tx3: "0.05" },
    args: ["--band", "b=4", "--tv", "21:0.025=2", "--window", "3tx3=0.05"] },
  { form: { bands: [["tv", "13-14", "0.5"], ["range", "790:792:0.25"]], tvedge: "1", count: "5", fixed: "791.000", w2tx5: "0" },
    args: ["--tv", "13-14:0.5", "--band", "790:792:0.25", "--tv-edge", "1", "--count", "5", "--fixed", "791.000", "--window", "2tx5=0"] },
  { form: { count: "3", spares: "2" }, args: ["--count", "3", "--spares", "2"] },
  // Device groups: the form's arguments are these, in this order.
  { form: { name: "HH", label: "H", spares: "1", count: "3", groups: [{ name: "IEM", apart: "1", bands: "790:791:0.25", max: true }] },
    args: ["--group", "HH,label=H,spares=1", "--count", "3", "--group", "IEM,apart=1", "--band", "790:791:0.25", "--max"] },
  { form: { name: "A", bands: [["range", "806:807", "", "2"]], w3tx3: "0", exclude: "806.5", groups: [
    { name: "B", bands: "800:801", count: "2", guard: "0.05" },
    { name: "C", label: "c", spares: "2", bands: "770:771", spacing: "0.25", w2tx5: "0" }] },  // C: as many as fit
  args: ["--exclude", "806.5", "--group", "A", "--band", "806:807=2", "--window", "3tx3=0", "--group", "B", "--band", "800:801",
    "--count", "2", "--guard", "0.05", "--group", "C,label=c,spares=2", "--band", "770:771", "--spacing", "0.25", "--window", "2tx5=0"] },
];
// Band names as the page shows them in Japanese.
const japaneseBand = (b) => b.replace(/^B ch (\d+)$/, "B帯 $1ch").replace(/^TV ch (\d+)$/, "テレビ $1ch")
  .replace(/^band /, "帯域 ").replace(/^fixed$/, "固定波");

// Plan form input that must be refused next to its field.
const badInputs = [
  ["bands", "806.125-809.750-810", { count: "3" }],
  ["bands", "809:806", { count: "3" }],
  ["bands", "806.1255:807", { count: "3" }],
  ["count", "65", {}],
  ["bands", [["b", "", "", "2"], ["range", "810:812"]], {}],
  ["bands", [["tv", "ch21"]], { count: "3" }],
  ["count", "", { bands: [["b", "", "", "2"]], max: true }],
  ["count", "", {}],
  ["spacing", "0.1", { count: "3" }],
  ["guard", "-1", { count: "3" }],
  ["fixed", "abc", { count: "3" }],
  ["exclude", "1:2:3", { count: "3" }],
  ["time", "0", { count: "3" }],
  ["spares", "65", { count: "3" }],
  ["name", "", { count: "2", groups: [{ name: "IEM", count: "2" }] }],
  ["g2-name", "", { name: "HH", count: "2", groups: [{ count: "2" }] }],
  ["g2-name", "A,B", { name: "HH", count: "2", groups: [{ count: "2" }] }],
  ["g2-name", "HH", { name: "HH", count: "2", groups: [{ count: "2" }] }],
  ["g2-label", "x=y", { name: "HH", count: "2", groups: [{ name: "IEM", count: "2" }] }],
  ["g3-count", "", { name: "A", count: "2", groups: [{ name: "B" }, { name: "C", max: true }] }],
];

const cases = [
  ["opens from disk offline, on the check tab", async ({ page, requests }) => {
    assert.equal(await page.getAttribute("#tab-check", "aria-selected"), "true");
    assert.equal(await page.isVisible("#panel-plan"), false);
    assert.equal(await page.textContent("#calc"), "計　算");
    assert.deepEqual(requests.filter((u) => !/^(file|blob|data):/.test(u)), []);
  }],

  ["typed fields, Enter and クリア, by keyboard", async ({ page }) => {
    await page.focus("#f1");
    for (const text of ["806.375", "806.125", "806.250"]) {
      await page.keyboard.type(text);
      await page.keyboard.press("Tab");
    }
    await page.keyboard.type("806.125 806.5");  // typing never splits
    await page.keyboard.press("Enter");
    const expected = JSON.parse(execFileSync(checkTool, ["--json", "806.375", "806.125", "806.250", "806.125 806.5"]));
    assert.deepEqual(await page.$$eval("#fields input", (l) => l.map((i) => i.value)), expected.fields);
    assert.equal(await page.textContent("#result"), expected.result.replace(/\r\n/g, "\n"));
    await page.click("#clear");
    assert.deepEqual(await page.$$eval("#fields input", (l) => l.map((i) => i.value).join("")), "");
    assert.equal(await page.textContent("#result"), "");
    await page.focus("#tab-check");
    await page.keyboard.press("ArrowRight");  // the tabs follow the arrow keys
    assert.equal(await page.evaluate(() => document.activeElement.id), "tab-plan");
    assert.equal(await page.isVisible("#panel-plan"), true);
    // A band row is added, set and removed by keyboard.
    await page.focus("#p-add-band");
    await page.keyboard.press("Enter");
    await page.keyboard.press("ArrowDown");  // the kind: TV channels
    assert.equal(await page.isVisible("#p-band-rows .band-step"), true);
    for (let i = 0; i < 4; i++) await page.keyboard.press("Tab");  // value, step, count, remove
    await page.keyboard.press("Enter");
    assert.equal(await page.$$eval("#p-band-rows > *", (l) => l.length), 0);
    assert.equal(await page.evaluate(() => document.activeElement.id), "p-add-band");
  }],

  ["a pasted list fills the fields after it and says what did not fit", async ({ page }) => {
    await page.evaluate(() => {
      const data = new DataTransfer();
      data.setData("text/plain", "806.125\n806.250, 806.375 806.500\r\n806.750");
      document.getElementById("f10").dispatchEvent(new ClipboardEvent("paste", { clipboardData: data, bubbles: true, cancelable: true }));
    });
    assert.deepEqual(await page.$$eval("#fields input", (l) => l.slice(9).map((i) => i.value)), ["806.125", "806.250", "806.375"]);
    assert.match(await page.textContent("#paste-note"), /2 件/);
    // Without decimal points a comma is a decimal comma: never split.
    await page.evaluate(() => {
      const data = new DataTransfer();
      data.setData("text/plain", "806,125 807,500");
      document.getElementById("f1").dispatchEvent(new ClipboardEvent("paste", { clipboardData: data, bubbles: true, cancelable: true }));
    });
    assert.deepEqual(await page.$$eval("#fields input", (l) => l.slice(0, 3).map((i) => i.value)), ["806,125", "807,500", ""]);
  }],

  ["the check equals zelmar-check --json on random sets", async ({ page }) => {
    const sets = Array.from({ length: 300 }, () => Array.from({ length: 12 }, randomField));
    const answers = execFileSync(checkTool, ["--batch"], {
      input: sets.map((s) => JSON.stringify(s)).join("\n") + "\n", encoding: "utf8",
    }).trim().split("\n").map((line) => JSON.parse(line));
    const shown = await page.evaluate((sets) => sets.map((set) => {
      const inputs = [...document.querySelectorAll("#fields input")];
      set.forEach((text, i) => { inputs[i].value = text; });
      document.getElementById("calc").click();
      return {
        fields: inputs.map((i) => i.value),
        result: document.getElementById("result").textContent,
        findings: [...document.querySelectorAll("#findings li")].map((li) => JSON.parse(li.dataset.finding)),
      };
    }), sets);
    shown.forEach((got, i) => {
      const want = answers[i];
      assert.deepEqual(got, { fields: want.fields, result: want.result.replace(/\r\n/g, "\n"), findings: want.findings },
        "set " + JSON.stringify(sets[i]));
    });
  }],

  ["plans equal zelmar-plan --json on proven requests", async ({ page }) => {
    await page.click("#tab-plan");
    for (const { form, args } of planRequests) {
      const warnings = [];
      const want = JSON.parse(planTool_(args, warnings));
      assert.equal(want.proven, true, args.join(" "));
      const got = await runPlan(page, form);
      assert.deepEqual(got.plan, want.plan, args.join(" "));
      if (form.groups) assert.deepEqual(await page.evaluate(() => window.zelmarPage.form.args()), ["--json", ...args]);
      if (want.count > 0) {
        assert.deepEqual(got.bands, want.bands.map(japaneseBand), args.join(" "));
        assert.deepEqual(got.margins.map((m) => m.split(": ")[1]),
          Object.values(want.margins).map((m) => (m === null ? "なし（波数が足りません）" : m + " MHz")));
        assert.ok(got.text.includes(want.margin === null ? "なし" : want.margin + " MHz"), got.text);
        assert.ok(got.text.includes("（最適）"), got.text);
      } else {
        // Fixed carriers that break a rule are refused beside their field.
        assert.ok(want.broken ? got.errors.includes("固定波 806.125 と 806.250 MHz") : got.text.includes(String(want.largest)), got.text);
      }
      // The planner's warnings in the page's words, with its frequencies.
      assert.equal(got.notes.length, warnings.length);
      warnings.forEach((w, i) => (w.match(/[0-9]+\.[0-9]{3}/g) || []).forEach((f) => assert.ok(got.notes[i].includes(f), w)));
    }
    // The last plan's bands, in English, are the planner's own names.
    await page.click("#lang");
    assert.deepEqual(await page.$$eval("#p-plan .band", (l) => l.map((e) => e.textContent)),
      JSON.parse(planTool_(planRequests.at(-1).args)).bands);
  }],

  ["stop shows the best plan so far with its bands and every checked margin", async ({ page }) => {
    await page.click("#tab-plan");
    const args = ["--band", "470:714:0.025", "--count", "8", "--window", "3tx3=0"];
    await fillPlanForm(page, { bands: "470:714:0.025", count: "8", w3tx3: "0", time: "60" });
    await page.evaluate(() => {
      const progress = document.getElementById("p-progress");
      window.marginsSeen = [];
      new MutationObserver(() => {
        const m = /最小離隔 2波3次 \(2a−b\): ([0-9.]+) MHz/.exec(progress.textContent);
        if (m) window.marginsSeen.push(Number(m[1]));
      }).observe(progress, { childList: true, subtree: true });
    });
    await page.click("#p-start");
    await page.waitForFunction(() => window.marginsSeen.length >= 10);
    await page.click("#p-stop");
    const seen = await page.evaluate(() => window.marginsSeen);
    const kept = await shownPlan(page);
    assert.equal(kept.state, "stopped");
    assert.equal(kept.plan.length, 8);
    assert.deepEqual(kept.bands, kept.plan.map(() => "帯域 470:714:0.025"));
    // The same plan as fixed carriers: the planner's own figures for it.
    const want = JSON.parse(planTool_([...args, ...kept.plan.flatMap((f) => ["--fixed", f])]));
    assert.deepEqual(Object.keys(want.margins), ["2tx3", "3tx3"]);
    assert.deepEqual(kept.margins.map((m) => m.split(": ")[1]), Object.values(want.margins).map((m) => m + " MHz"));
    assert.ok(seen.every((m) => Number(want.margins["2tx3"]) >= m), JSON.stringify([seen, want.margins]));
    assert.ok(kept.text.includes("停止しました"), kept.text);
    assert.equal(await page.isDisabled("#p-start"), false);
    // A new worker serves the next search.
    assert.deepEqual((await runPlan(page, { count: "3" })).plan, JSON.parse(planTool_(["--count", "3"])).plan);
    await page.click("#p-to-check");
    assert.equal(await page.getAttribute("#tab-check", "aria-selected"), "true");
    assert.match(await page.textContent("#result"), /混信の恐れは低い/);
    // More than Check's twelve fields: said, not cut.
    await page.click("#tab-plan");
    assert.equal((await runPlan(page, { bands: "470:490", count: "13", time: "1" })).plan.length, 13);
    assert.equal(await page.isDisabled("#p-to-check"), true);
    assert.match(await page.textContent("#p-too-many"), /13 波/);
  }],

  ["bad plan input is refused next to its field", async ({ page }) => {
    await page.click("#tab-plan");
    for (const [field, value, rest] of badInputs) {
      await fillPlanForm(page, { ...rest, [field]: value });
      await page.click("#p-start");
      assert.notEqual(await page.textContent(`#p-${field}-error`), "", `${field} ${value}`);
      assert.equal(await page.getAttribute(`#p-${field}`, "aria-invalid"), "true");
      assert.equal(await page.isDisabled("#p-stop"), true, "no search started");
      assert.equal(await page.isVisible("#p-actions"), false);
    }
    // What only the planner knows is refused in the page's words, beside the bands.
    const got = await runPlan(page, { bands: [["b", "", "", "2"], ["range", "806:810", "", "2"]] });
    assert.match(await page.textContent("#p-bands-error"), /帯域 1 と帯域 2 が 806\.125 MHz で重なっています/);
    assert.equal(got.plan.length, 0);
    await fillPlanForm(page, { bands: [["tv", "53"]], count: "2" });
    await page.click("#p-start");
    assert.match(await page.textContent("#p-bands-error"), /テレビ ch は 13～52 です/);
    await fillPlanForm(page, { name: "HH", count: "2", groups: [{ name: "IEM", bands: [["tv", "53"]], count: "2" }] });
    await page.click("#p-start");
    assert.match(await page.textContent("#p-g2-bands-error"), /テレビ ch は 13～52 です/);
  }],

  ["the URL fragment holds fields, request, tab and language", async ({ page }) => {
    await page.fill("#f1", "806.125");
    await page.fill("#f3", "a&b=c#");
    await page.click("#lang");
    await page.click("#tab-plan");
    await fillPlanForm(page, { bands: [["range", "806:810:0.25"], ["tv", "21", "", "2"]], count: "5", fixed: "807.000" });
    await page.fill("#p-guard", "0.050");  // an input event saves the state
    const url = await page.evaluate(() => location.href);
    const again = await page.context().newPage();
    await again.goto(url);
    await again.evaluate(() => window.zelmarPage.ready);
    const values = (p) => p.$$eval("input, select", (l) => l.map((i) => (i.type === "checkbox" ? i.checked : i.value)));
    assert.deepEqual(await values(again), await values(page));
    assert.equal(await again.getAttribute("#tab-plan", "aria-selected"), "true");
    assert.equal(await again.textContent("#tab-check"), "Check");
    await again.close();
  }],

  ["groups: the fragment keeps them, a show file fills them", async ({ page }) => {
    await page.click("#tab-plan");
    const formArgs = (p) => p.evaluate(() => window.zelmarPage.form.args());
    const { form, args } = planRequests.at(-1);
    await fillPlanForm(page, { ...form, groups: [{ name: "X", count: "1" }, ...form.groups] });
    await page.click("#p-g2-remove");  // the groups after it move up, and the state is saved
    assert.deepEqual(await formArgs(page), ["--json", ...args]);
    const url = await page.evaluate(() => location.href);
    assert.match(url, /&g3\.name=C&/);
    const again = await page.context().newPage();
    await again.goto(url);
    await again.evaluate(() => window.zelmarPage.ready);
    assert.deepEqual(await formArgs(again), ["--json", ...args]);
    await again.close();
    // A show written by zelmar-plan, filled in: the request and plan of --show.
    const file = path.join(shotDir, "show.json");
    for (const request of [["--band", "790:791", "--count", "2"],
      ["--tv-edge", "0.5", "--exclude", "807:807.5", "--group", "HH,spares=1", "--band", "b=2", "--fixed", "806.125",
        "--window", "3tx3=0", "--group", "IEM,label=IE,apart=2", "--tv", "23:0.05=2", "--spacing", "0.2",
        "--group", "X", "--band", "790:791:0.25", "--count", "2"]]) {
      fs.writeFileSync(file, execFileSync(planTool, [...request, "--save", "-"], { stdio: ["ignore", "pipe", "ignore"] }));
      const want = JSON.parse(planTool_(["--show", file]));
      await page.evaluate((show) => window.zelmarPage.form.fill(show), JSON.parse(fs.readFileSync(file, "utf8")));
      assert.equal(await page.evaluate(() => window.zelmarPage.form.groupCount()), request.includes("--group") ? 3 : 1);
      assert.equal(await page.isVisible("#p-name"), request.includes("--group"));
      assert.deepEqual(JSON.parse(planTool_((await formArgs(page)).slice(1))), want);
      const got = await startPlan(page);
      assert.deepEqual([got.plan, got.bands], [want.plan, want.bands.map(japaneseBand)]);
    }
  }],

  ["English toggle: every label, the result lines stay Japanese", async ({ page }) => {
    await page.fill("#f1", "806.125");
    await page.fill("#f2", "806.250");
    await page.click("#calc");
    await page.click("#lang");
    assert.equal(await page.getAttribute("html", "lang"), "en");
    assert.equal(await page.textContent("#tab-plan"), "Plan");
    assert.equal(await page.textContent(".kind"), "Close");
    assert.match(await page.textContent("#result"), /接近しています/);
    const japanese = await page.$$eval("[data-text]", (l) => l.filter((e) => /[\u3040-\u30ff\u4e00-\u9fff]/.test(e.textContent)).map((e) => e.id || e.dataset.text));
    assert.deepEqual(japanese, []);
    assert.match(await page.evaluate(() => location.hash), /lang=en/);
    await page.click("#lang");
    assert.equal(await page.textContent("#tab-plan"), "プラン");
  }],

  ["no horizontal scrolling at 360 px; screenshots", async ({ page }) => {
    for (const width of [360, 1280]) {
      await page.setViewportSize({ width, height: width === 360 ? 740 : 800 });
      await page.fill("#f1", "806.125");
      await page.fill("#f2", "806.250");
      await page.fill("#f3", "806.375");
      await page.fill("#f4", "807.000");
      await page.click("#calc");
      await fillPlanForm(page, planRequests.at(-1).form);  // three groups
      for (const tab of ["plan", "check"]) {
        await page.click("#tab-" + tab);
        assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), `${tab} at ${width}`);
      }
      if (width === 1280) {  // the desktop picture shows a plan
        await page.click("#tab-plan");
        await runPlan(page, { bands: [["b", "", "", "4"], ["tv", "21", "", "2"]], fixed: "807.000", w3tx3: "0.05" });
        assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth));
      }
      await page.screenshot({ path: path.join(shotDir, `zelmar-${width}.png`), fullPage: true });
    }
  }],
];

cases.push(...require("./form_cases")({ planTool: (args) => planTool_(args), fillPlanForm, runPlan, shownPlan }));
cases.push(...require("./air_cases")({
  planToolPath: planTool, planTool: (args) => planTool_(args), fillPlanForm, runPlan, shownPlan, shotDir,
  workDir: fs.mkdtempSync(path.join(require("os").tmpdir(), "zelmar-web-")),
}));
cases.push(...require("./check_cases")({ checkTool }));

// Figures for the README: printed, never asserted.
async function runBenchmarks(page) {
  const fields = ["806.125", "806.250", "806.500", "806.875", "807.125", "807.625", "808.000",
    "808.375", "808.625", "809.125", "809.500", "809.750"];
  const median = (l) => l.sort((a, b) => a - b)[l.length >> 1];
  const checks = [];
  for (let i = 0; i < 40; i++) {
    await page.evaluate((f) => {
      document.querySelectorAll("#fields input").forEach((input, k) => { input.value = f[k]; });
      delete window.zelmarPage.timing.check;
    }, fields);
    await page.focus("#f12");
    await page.keyboard.press("Enter");
    await page.waitForFunction(() => window.zelmarPage.timing.check !== undefined);
    checks.push(await page.evaluate(() => [window.zelmarPage.timing.check, window.zelmarPage.timing.checkWork]));
  }
  // The first presses also compile the page's code: left out as warm-up.
  const warm = checks.slice(5);
  const frame = warm.map((c) => c[0]), work = warm.map((c) => c[1]);
  const p90 = (l) => l.sort((a, b) => a - b)[Math.floor(l.length * 0.9)];
  console.log(`figure: 12-field check (${frame.length} presses after 5 of warm-up), key press to the frame that shows it: ` +
    `median ${median(frame).toFixed(1)} ms, 90th percentile ${p90(frame).toFixed(1)} ms, max ${Math.max(...frame).toFixed(1)} ms; ` +
    `to the result in the page: median ${median(work).toFixed(2)} ms, max ${Math.max(...work).toFixed(2)} ms`);
  await page.click("#tab-plan");
  const plans = [];
  for (let i = 0; i < 10; i++) {
    await runPlan(page, { max: true });
    plans.push(await page.evaluate(() => window.zelmarPage.timing.plan));
  }
  console.log(`figure: B band --max plan, request to shown plan: median ${median(plans).toFixed(1)} ms`);
  await fillPlanForm(page, { bands: "470:714:0.025", count: "8", time: "10" });
  await page.click("#p-start");
  const delays = await page.evaluate(async () => {
    const input = document.getElementById("p-guard");
    const out = [];
    const end = performance.now() + 9000;
    while (performance.now() < end) {
      const sent = performance.now();
      await new Promise((resolve) => {
        input.addEventListener("input", () => resolve(), { once: true });
        input.value = "0";
        input.dispatchEvent(new Event("input"));
      });
      await new Promise((resolve) => requestAnimationFrame(() => resolve()));
      out.push(performance.now() - sent);
      await new Promise((resolve) => setTimeout(resolve, 50));
    }
    return out;
  });
  console.log(`figure: during a 10 s search, ${delays.length} input events answered within max ${Math.max(...delays).toFixed(1)} ms (median ${median(delays).toFixed(1)} ms)`);
  await page.click("#p-stop");
  await require("./picture_bench")(page, fs.mkdtempSync(path.join(require("os").tmpdir(), "zelmar-bench-")), planTool);
}

(async () => {
  fs.mkdirSync(shotDir, { recursive: true });
  // Playwright starts Chromium with a fresh --user-data-dir of its own and
  // removes it afterwards.
  const browser = await chromium.launch({
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
  let failed = 0;
  try {
    for (const [name, run] of bench ? [["benchmarks", ({ page }) => runBenchmarks(page)]] : cases) {
      const context = await browser.newContext({ viewport: { width: 1280, height: 800 } });
      await context.setOffline(true);
      const page = await context.newPage();
      const requests = [];
      const errors = [];
      page.on("request", (r) => requests.push(r.url()));
      page.on("pageerror", (e) => errors.push(String(e)));
      page.on("console", (m) => { if (m.type() === "error") errors.push(m.text()); });
      const started = Date.now();
      try {
        await page.goto(pageUrl);
        await page.evaluate(() => window.zelmarPage.ready);
        await run({ page, requests });
        assert.deepEqual(errors, [], "errors on the page");
        console.log(`ok ${name} (${Date.now() - started} ms)`);
      } catch (error) {
        failed++;
        console.log(`FAILED ${name}: ${error.stack || error}`);
      }
      await context.close();
    }
  } finally {
    await browser.close();
  }
  process.exit(failed ? 1 : 0);
})();
