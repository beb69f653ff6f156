// Figures of the picture for the README, printed, never asserted: a
// 65,000-point scan read and drawn, a picture of 64 carriers with every
// family, and its frame times while it pans and zooms.
"use strict";
const fs = require("fs");
const path = require("path");

module.exports = async function pictureBenchmarks(page, workDir, planTool) {
  const median = (l) => [...l].sort((a, b) => a - b)[l.length >> 1];
  const p90 = (l) => [...l].sort((a, b) => a - b)[Math.floor(l.length * 0.9)];
  // 65,000 points from 470 MHz at 3 kHz, a floor and a signal every 4 MHz.
  const lines = [];
  for (let k = 0; k < 65000; k++) {
    const khz = 470000 + 3 * k;
    lines.push(`${(khz / 1000).toFixed(3)};${(khz % 4000 < 200 ? -60 : -98 + (k % 7)).toFixed(1)}`);
  }
  const scan = path.join(workDir, "scan65k.txt");
  fs.writeFileSync(scan, lines.join("\n") + "\n");
  await page.click("#tab-plan");
  await page.fill("#p-count", "64");
  const reads = [], adds = [];
  for (let run = 0; run < 5; run++) {
    await page.evaluate(() => { [...document.querySelectorAll("#p-scan-list button")].forEach((b) => b.click()); });
    await page.setInputFiles("#p-scan-files", scan);
    await page.waitForFunction(() => document.querySelectorAll("#p-scan-list li").length === 1);
    reads.push(await page.evaluate(() => window.zelmarPage.timing.scanRead));
    adds.push(await page.evaluate(() => window.zelmarPage.timing.scanAdd));
  }
  console.log(`figure: a 65,000-point scan file read by the module: median ${median(reads).toFixed(1)} ms ` +
    `(max ${Math.max(...reads).toFixed(1)}); with its ranges and the picture drawn: median ${median(adds).toFixed(1)} ms ` +
    `(max ${Math.max(...adds).toFixed(1)})`);
  // A plan of 64 carriers with every family windowed, as the rig in hand,
  // over the scan.
  const rules = ["--window", "3tx3=0", "--window", "2tx5=0"];
  const rig = JSON.parse(require("child_process").execFileSync(planTool,
    ["--band", "470:714:0.025", "--count", "64", ...rules, "--time-limit", "8", "--json"])).plan;
  await page.fill("#p-w3tx3", "0");
  await page.fill("#p-w2tx5", "0");
  await page.click("#p-analysis summary");
  await page.fill("#p-rig", rig.join("\n"));
  const pictures = [], draws = [];
  for (let run = 0; run < 7; run++) {
    await page.click("#p-analyze");
    pictures.push(await page.evaluate(() => window.zelmarPage.timing.picture));
    draws.push(await page.evaluate(() => window.zelmarPage.picture.view().lastDrawMs));
  }
  const data = await page.evaluate(() => window.zelmarPage.picture.shown().data);
  console.log(`figure: picture of ${data.carriers.length} carriers, ${data.products.length} products of ` +
    `${data.families.length} families and ${data.scan ? data.scan.points : 0} scan points: drawn in median ` +
    `${median(draws).toFixed(1)} ms (max ${Math.max(...draws).toFixed(1)}); from the button to the drawn picture ` +
    `(the module's data, JSON, preparation, drawing) median ${median(pictures).toFixed(1)} ms`);
  for (const width of [1280, 360]) {
    await page.setViewportSize({ width, height: 800 });
    const frames = await page.evaluate(() => window.zelmarPage.picture.view().frameTimes(180));
    const work = await page.evaluate(() => window.zelmarPage.picture.view().frameTimes(60).then((f) => f.draws));
    console.log(`figure: pan and zoom at ${width} px, 180 frames: interval median ${median(frames).toFixed(1)} ms, ` +
      `90th percentile ${p90(frames).toFixed(1)} ms, max ${Math.max(...frames).toFixed(1)} ms; ` +
      `drawing per frame median ${median(work).toFixed(1)} ms, max ${Math.max(...work).toFixed(1)} ms`);
  }
};
