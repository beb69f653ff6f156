// The venue's scans in the plan tab: files picked or dropped on the page
// (read here, never uploaded) handed to the module, the threshold slider and
// what the scans take at it. A show opened without its scan files brings the
// ranges its scans took, which plan the same.
function zelmarScans(app, onChange) {
  "use strict";
  const { $, T } = app;
  let files = [];          // {name, bytes}, in the order given
  let threshold = null;    // dBm text; null: each scan's floor + 10 dB
  let showRanges = [];     // "LOW:HIGH" texts a show's scans took
  let taken = null;        // the module's answer for the current scans
  let error = null;        // [file name, message] of a refused file

  // A name not yet taken, so that two files of one name both stay.
  function freeName(name) {
    let free = name, n = 1;
    while (files.some((f) => f.name === free)) free = `${name} (${++n})`;
    return free;
  }

  async function add(fileList) {
    await app.ready;
    const added = performance.now();
    for (const file of fileList) {
      const bytes = new Uint8Array(await file.arrayBuffer());
      const name = freeName(file.name);
      const started = performance.now();
      app.zelmar.putFile(name, bytes);
      // "--max": any valid request; only the scans matter here.
      const answer = app.zelmar.scanRanges(["--max", ...unitArgs(), "--scan", name]);
      app.timing.scanRead = performance.now() - started;
      if (answer.status !== 0) {
        error = [file.name, answer.text.replace(/^zelmar-plan: /, "")];
        continue;
      }
      error = null;
      files.push({ name, bytes });
      showRanges = [];
    }
    update(true);
    app.timing.scanAdd = performance.now() - added;
  }

  function remove(name) {
    files = files.filter((f) => f.name !== name);
    if (!files.length) threshold = null;
    update(true);
  }

  // What the scans take now; the picture's shading and line follow it.
  function update(filesChanged = false) {
    taken = files.length ? JSON.parse(app.zelmar.scanRanges(["--max", ...args()]).text) : null;
    render();
    onChange(filesChanged);
  }

  // The unit chosen for files that do not tell their own.
  const unitArgs = () => ($("p-scan-unit").value ? ["--scan-unit", $("p-scan-unit").value] : []);
  $("p-scan-unit").addEventListener("change", () => update(true));

  function args() {
    const list = [...(files.length ? unitArgs() : []), ...files.flatMap((f) => ["--scan", f.name])];
    if (files.length && threshold !== null) list.push("--scan-threshold", threshold);
    return list;
  }

  const slider = $("p-threshold");
  slider.addEventListener("input", () => {
    threshold = Number(slider.value).toFixed(1);
    update();
  });
  $("p-threshold-auto").addEventListener("click", () => { threshold = null; update(); });
  $("p-scan-pick").addEventListener("click", () => $("p-scan-files").click());
  $("p-scan-files").addEventListener("change", (e) => {
    add([...e.target.files]);
    e.target.value = "";
  });

  function render() {
    const list = $("p-scan-list");
    list.textContent = "";
    for (const f of files) {
      const item = document.createElement("li");
      const name = document.createElement("span");
      name.textContent = f.name;
      const remover = document.createElement("button");
      remover.type = "button";
      remover.textContent = T().removeScan;
      remover.setAttribute("aria-label", `${T().removeScan} ${f.name}`);
      remover.addEventListener("click", () => remove(f.name));
      item.append(name, remover);
      list.append(item);
    }
    $("p-threshold-row").hidden = !taken;
    if (taken) {
      if (taken.levels) {
        slider.min = Math.floor(taken.levels[0]);
        slider.max = Math.ceil(taken.levels[1]);
      }
      slider.value = taken.threshold !== null ? taken.threshold : taken.scans[0].threshold;
      const parts = taken.scans.map((p) => ({ name: p.name, threshold: p.threshold.toFixed(1),
        floor: p.floor === null ? null : p.floor.toFixed(1) }));
      $("p-threshold-value").textContent = threshold === null ? T().thresholdValue(null, parts)
        : T().thresholdValue(Number(threshold).toFixed(1), null);
    }
    // A link holds the form, not the scans: said where the scans are.
    $("p-scan-note").textContent = taken ? `${T().scanTaken(taken.mhz, taken.excludes.length)} ${T().scanNoLink}`
      : showRanges.length ? `${T().showScanTaken(showRanges.length)} ${T().scanNoLink}` : "";
    $("p-scan-ranges").textContent = taken ? taken.excludes.map(([l, h]) => `${l}–${h}`).join(", ") : "";
    $("p-scan-error").textContent = !error ? ""
      : T().scanRefused(error[0], error[1]) + (error[1].includes("--scan-unit") ? ` ${T().scanUnitHint}` : "");
  }

  return {
    add,
    args,
    // The pairs that bring a show's scanned ranges when no scan is loaded.
    pairs: () => (files.length ? [] : showRanges.flatMap((r) => ["scan-exclude", r])),
    files: () => files.map((f) => [f.name, f.bytes]),
    // The scanned ranges now taken, for the picture: [{low, high}] in MHz.
    excluded: () => (taken ? taken.excludes.map(([l, h]) => ({ low: Number(l), high: Number(h) })) : []),
    // Each scan's span and threshold now, for the lines on the picture.
    parts: () => (taken ? taken.scans : []),
    fromShow(show) {
      files = [];
      threshold = null;
      showRanges = (show.scan_excludes || []).map(([l, h]) => `${l}:${h}`);
      taken = null;
      render();
    },
    render,
  };
}
