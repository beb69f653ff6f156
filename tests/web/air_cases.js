// The plan tab's picture, scans, show files, sheet, print and the rig in
// hand, each against zelmar-plan (or, for the products, a plain count of
// every product in whole kilohertz). Cases of web_test.js's table.
"use strict";
const assert = require("assert/strict");
const fs = require("fs");
const path = require("path");
const { execFileSync, spawnSync } = require("child_process");

module.exports = ({ planToolPath, planTool, fillPlanForm, runPlan, shownPlan, shotDir, workDir }) => {
  // A scan of the B band: 25 kHz bins on a floor near -95 dBm with a few
  // signals, as "MHz;dBm" lines; `shift` moves the signals.
  function scanText(shift) {
    const lines = [];
    for (let k = 0; k <= 240; k++) {
      const khz = 805000 + 25 * k;
      const peak = { 806500: -60, 808250: -70, 809100: -82 }[khz - shift];
      const level = peak !== undefined ? peak : -95 - (k * 7) % 5;
      lines.push(`${(khz / 1000).toFixed(3)};${level.toFixed(1)}`);
    }
    return lines.join("\n") + "\n";
  }
  function writeFile(name, text) {
    const file = path.join(workDir, name);
    fs.writeFileSync(file, text);
    return file;
  }
  const ranges = (json) => json.scan.excluded.map(([l, h]) => `${l}–${h}`).join(", ");
  const shownData = (page) => page.evaluate(() => window.zelmarPage.picture.shown().data);
  const marks = (page) => page.evaluate(() => window.zelmarPage.picture.view().marks());
  async function download(page, button) {
    const [saved] = await Promise.all([page.waitForEvent("download"), page.click(button)]);
    return fs.readFileSync(await saved.path());
  }

  // Every product of the plan (kHz) within reach of a carrier it does not
  // come from, as "family value victim" keys; `windows` per family, null
  // where not checked.
  function productsWithinReach(khz, windows) {
    const keys = new Set();
    const n = khz.length;
    const near = (family, value, makers) => {
      if (windows[family] === null) return;
      const reach = Math.max(3 * windows[family], 100);
      khz.forEach((v, i) => {
        if (!makers.includes(i) && Math.abs(value - v) <= reach) keys.add(`${family} ${value} ${i}`);
      });
    };
    for (let a = 0; a < n; a++) {
      for (let b = 0; b < n; b++) {
        if (a === b) continue;
        near("2tx3", 2 * khz[a] - khz[b], [a, b]);
        near("2tx5", 3 * khz[a] - 2 * khz[b], [a, b]);
        for (let c = 0; c < n && a < b; c++) {
          if (c !== a && c !== b) near("3tx3", khz[a] + khz[b] - khz[c], [a, b, c]);
        }
      }
    }
    return keys;
  }
  const toKhz = (text) => Math.round(Number(text) * 1000);
  // The plan's lines go to standard error beside --save - and --csv -.
  const quiet = { stdio: ["ignore", "pipe", "ignore"] };

  return [
    ["a scan picked and dropped: the shaded ranges are zelmar-plan's, and the slider moves them", async ({ page }) => {
      const first = writeFile("venue.txt", scanText(0));
      const second = writeFile("venue2.txt", scanText(500));
      await page.click("#tab-plan");
      await fillPlanForm(page, { count: "4" });
      await page.setInputFiles("#p-scan-files", first);
      await page.waitForFunction(() => document.getElementById("p-scan-ranges").textContent !== "");
      const scanned = async (args) => {
        const want = JSON.parse(planTool(["--count", "4", ...args]));
        assert.equal(await page.textContent("#p-scan-ranges"), ranges(want));
        const drawn = (await marks(page)).excludes.filter((e) => e.scan);
        assert.equal(drawn.length, want.scan.excluded.length);
        return want;
      };
      const auto = await scanned(["--scan", first]);
      // Each scan's own floor and the threshold 10 dB above it, as zelmar-plan says.
      const shown = await page.textContent("#p-threshold-value");
      assert.ok(shown.includes(auto.scan.files[0].floor_dbm) && shown.includes(auto.scan.files[0].threshold_dbm), shown);
      await page.evaluate(() => {
        const slider = document.getElementById("p-threshold");
        slider.value = "-75";
        slider.dispatchEvent(new Event("input"));
      });
      await scanned(["--scan", first, "--scan-threshold", "-75.0"]);
      // Dropped on the page: read in the page, beside the first.
      await page.evaluate((text) => {
        const data = new DataTransfer();
        data.items.add(new File([text], "venue2.txt"));
        document.body.dispatchEvent(new DragEvent("drop", { dataTransfer: data, bubbles: true, cancelable: true }));
      }, scanText(500));
      await page.waitForFunction(() => document.querySelectorAll("#p-scan-list li").length === 2);
      const both = await scanned(["--scan", first, "--scan", second, "--scan-threshold", "-75.0"]);
      const got = await runPlan(page, { count: "4" });
      assert.deepEqual(got.plan, both.plan);
      assert.equal((await marks(page)).excludes.filter((e) => e.scan).length, both.scan.excluded.length);
      // A fixed carrier on the first scan's strongest signal: marked beside it, never called low risk.
      const scans = ["--scan", first, "--scan", second, "--scan-threshold", "-75.0"];
      const onSignal = JSON.parse(planTool(["--count", "4", "--fixed", "806.5", ...scans]));
      assert.equal(onSignal.in_signal[onSignal.plan.indexOf("806.500")].peak_dbm, "-60.0");
      await runPlan(page, { count: "4", fixed: "806.5" });
      assert.match(await page.textContent("#p-plan"), /806\.500[^]*電波の中/);
      assert.match(await page.textContent("#p-outcome"), /混信の恐れがあります/);
    }],

    ["the picture's carriers, windows and products are the plan's, at their places", async ({ page }) => {
      await page.click("#tab-plan");
      for (const [form, windows] of [
        [{ count: "6", w3tx3: "0.05" }, { "2tx3": 0, "3tx3": 50, "2tx5": null }],
        [{ bands: [["b", "", "", "3"], ["tv", "21", "", "2"]], guard: "0.1", w2tx5: "0" }, { "2tx3": 100, "3tx3": null, "2tx5": 0 }],
        [{ count: "6", w3tx3: "0", w2tx5: "0.025", fixed: "806.500" }, { "2tx3": 0, "3tx3": 0, "2tx5": 25 }],
      ]) {
        const got = await runPlan(page, form);
        const data = await shownData(page);
        assert.deepEqual(data.carriers.map((c) => c.text), got.plan, JSON.stringify(got));
        const khz = got.plan.map(toKhz);
        const keys = new Set(data.products.filter((p) => {
          const w = windows[p.family];
          return Number(p.distance) * 1000 <= Math.max(3 * w, 100);
        }).map((p) => `${p.family} ${toKhz(p.value)} ${p.victim}`));
        assert.deepEqual([...keys].sort(), [...productsWithinReach(khz, windows)].sort(), JSON.stringify(form));
        for (const p of data.products) {
          const w = windows[p.family];
          assert.equal(p.broken, Number(p.distance) * 1000 <= w, p.text);
        }
        const m = await marks(page);
        assert.equal(m.carriers.length, data.carriers.length);
        const families = Object.values(windows).filter((w) => w !== null).length;
        assert.equal(m.windows.length, data.carriers.length * families);
        const inView = data.products.filter((p) => data.panels.some((q) => p.value >= q.low && p.value <= q.high));
        assert.equal(m.products.length, inView.length);
        // Each mark where its frequency lies on its panel's axis.
        for (const c of m.carriers) {
          const f = data.carriers[c.index].frequency;
          const panel = m.panels.find((q) => f >= q.low && f <= q.high);
          const x = panel.x0 + ((f - panel.low) / (panel.high - panel.low)) * (panel.x1 - panel.x0);
          assert.ok(Math.abs(c.x - x) <= 1.5, `${f}: ${c.x} not ${x}`);
        }
      }
      // No plan: the request's air alone, no carriers of an earlier plan.
      assert.equal((await runPlan(page, { count: "8", w3tx3: "0", w2tx5: "0.025", fixed: "806.500" })).plan.length, 0);
      assert.equal((await shownData(page)).carriers.length, 0);
    }],

    ["show file and sheet: the page's read by zelmar-plan, zelmar-plan's by the page", async ({ page }) => {
      await page.click("#tab-plan");
      const form = { bands: [["b", "", "", "3"], ["tv", "21", "", "2"]], w3tx3: "0.05", fixed: "807.000" };
      const args = ["--band", "b=3", "--tv", "21=2", "--window", "3tx3=0.05", "--fixed", "807.000"];
      const got = await runPlan(page, form);
      const show = await download(page, "#p-save-show");
      assert.deepEqual(show, execFileSync(planToolPath, [...args, "--save", "-"], quiet));
      const file = writeFile("page-show.json", show);
      assert.deepEqual(JSON.parse(planTool(["--show", file])).plan, got.plan);
      assert.deepEqual(await download(page, "#p-save-csv"), execFileSync(planToolPath, [...args, "--csv", "-"], quiet));
      // The reverse: a show of zelmar-plan opened in the page, planned again.
      const cliArgs = ["--count", "5", "--window", "2tx5=0", "--exclude", "808:808.5", "--tv-edge", "0.25"];
      const theirs = writeFile("cli-show.json", execFileSync(planToolPath, [...cliArgs, "--save", "-"], quiet));
      await page.setInputFiles("#p-open-file", theirs);
      await page.waitForFunction(() => document.getElementById("p-outcome").dataset.state === "show");
      const want = JSON.parse(planTool(["--show", theirs]));
      await page.click("#p-start");
      await page.waitForFunction(() => document.getElementById("p-outcome").dataset.state === "outcome");
      assert.deepEqual((await shownPlan(page)).plan, want.plan);
      assert.deepEqual(await download(page, "#p-save-show"), fs.readFileSync(theirs));
    }],

    ["a scan or a show that cannot be read is refused in the planner's words, nothing taken", async ({ page }) => {
      await page.click("#tab-plan");
      const scan = writeFile("bad-scan.txt", "806.500;-60.0\n806.525;x\n");
      await page.setInputFiles("#p-scan-files", scan);
      await page.waitForFunction(() => document.getElementById("p-scan-error").textContent !== "");
      const said = spawnSync(planToolPath, ["--max", "--scan", scan], { encoding: "utf8" }).stderr.trim()
        .replace(/^zelmar-plan: /, "").replace(scan, "bad-scan.txt");
      assert.ok((await page.textContent("#p-scan-error")).includes(said), said);
      assert.equal(await page.locator("#p-scan-list li").count(), 0);
      const show = writeFile("bad-show.json", '{"format": "zelmar-show", "version": 1, "groups": [{"count": "4"}]}\n');
      await page.setInputFiles("#p-open-file", show);
      await page.waitForFunction(() => document.getElementById("p-files-error").textContent !== "");
      const refused = spawnSync(planToolPath, ["--show", show], { encoding: "utf8" }).stderr.trim()
        .replace(/^zelmar-plan: /, "").replace(show, "show.json");
      assert.ok((await page.textContent("#p-files-error")).includes(refused), refused);
    }],

    ["the print: the picture and a table of the carriers on one A4 page", async ({ page }) => {
      await page.click("#tab-plan");
      const got = await runPlan(page, { bands: [["b", "", "", "8"], ["tv", "35", "", "4"]], w3tx3: "0", time: "1" });
      await page.emulateMedia({ media: "print" });
      await page.evaluate(() => window.dispatchEvent(new Event("beforeprint")));
      assert.equal(await page.locator("#p-print-table tbody tr").count(), got.plan.length);
      const pdf = (await page.pdf({ format: "A4" })).toString("latin1");
      assert.equal((pdf.match(/\/Type\s*\/Page\b/g) || []).length, 1);
      await page.emulateMedia({ media: "screen" });
    }],

    ["the rig in hand: each family's margin and every broken rule, listed and drawn", async ({ page }) => {
      await page.click("#tab-plan");
      const rig = ["806.125", "806.250", "806.375", "807.000", "808.500"];
      await fillPlanForm(page, { count: "5", w3tx3: "0" });
      await page.click("#p-analysis summary");
      await page.fill("#p-rig", rig.join("\n"));
      await page.click("#p-analyze");
      const want = JSON.parse(planTool(["--count", "5", "--window", "3tx3=0", "--analyze", ...rig]));
      assert.equal(want.valid, false);
      assert.equal(await page.locator("#p-violations li").count(), want.violations.length);
      const data = await shownData(page);
      assert.deepEqual(data.carriers.map((c) => c.text), rig);
      const drawn = data.products.filter((p) => p.broken).length + data.crowded.length;
      assert.equal(drawn, want.violations.length);
      const m = await marks(page);
      assert.equal(m.products.filter((p) => p.broken).length, data.products.filter((p) => p.broken).length);
    }],

    ["360 px with a scan and a plan: no sideways scroll; the picture's screenshots", async ({ page }) => {
      const file = writeFile("venue.txt", scanText(0));
      await page.click("#tab-plan");
      for (const width of [1280, 360]) {
        await page.setViewportSize({ width, height: 800 });
        await page.setInputFiles("#p-scan-files", file);
        await runPlan(page, { bands: [["b", "", "", "6"], ["tv", "35", "", "3"]], w3tx3: "0.05", time: "1" });
        await page.evaluate(() => window.zelmarPage.picture.view().select(2));
        assert.ok(await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth), `at ${width}`);
        await page.locator("#p-picture").screenshot({ path: path.join(shotDir, `picture-${width}.png`) });
      }
    }],
  ];
};
