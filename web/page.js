// The page: the check tab, the plan tab with its search worker, the language
// toggle and the state in the URL fragment. Every number the page shows comes
// from the WebAssembly module (core.js); nothing here computes frequencies.
(function () {
  "use strict";
  const kSlots = 12;
  const kProgressMs = 100;
  const $ = (id) => document.getElementById(id);

  const TEXTS = {
    ja: {
      tabs: "表示", tabCheck: "チェック", tabPlan: "プラン", result: "結果",
      other: "English",
      kinds: { intermodulation: "相互変調", close: "接近", same: "同一" },
      pasteOver: (n) => `${n} 件の周波数は F12 の後ろになるため入りませんでした。`,
      bands: "帯域", addBand: "帯域を追加", removeBand: "削除", bandKind: "種類",
      kindB: "B帯（806.125～809.750）", kindTv: "テレビ ch", kindRange: "範囲（MHz）",
      bandChannels: "チャンネル（13～52、例: 21,22,35-37）", bandRange: "LOW:HIGH または LOW:HIGH:STEP",
      bandStep: "間隔（MHz、既定 0.025）", bandCount: "この帯域の波数（任意）",
      bandsHint: "帯域がないときは B帯。波数を帯域ごとに入れるときは、すべての帯域に入れてください。",
      tvEdge: "テレビ ch の端からの余白（MHz、既定 0）",
      count: "波数（固定波を含む、1～64）", max: "入るだけ",
      countHint: "帯域ごとに波数を入れたときは空欄でかまいません",
      spacing: "間隔（MHz、波どうしをこれより離す、0.125 以上）", guard: "2波3次 (2a−b) のガード（MHz、積がこれより離れること）",
      w3tx3: "3波3次 (a+b−c) の窓（MHz、空欄: 調べない）",
      w2tx5: "2波5次 (3a−2b) の窓（MHz、空欄: 調べない）",
      windowHint: "0 を入れると、積がちょうど重なるものだけを避けます",
      fixed: "固定波（使用中の周波数、MHz、空白で区切る）",
      exclude: "除外（周波数 F または範囲 LOW:HIGH、空白で区切る）",
      excludeHint: "例: 807.000 808.000:808.500",
      time: "時間制限（秒）", start: "探　索", stop: "停　止",
      copy: "コピー", toCheck: "チェックに入れる", copied: "コピーしました。",
      number: ["", "数値として読めません（例: 806.125）", "小数点以下は 3 桁までです",
        "0 より大きい値にしてください", "大きすぎます"],
      bandForm: "LOW:HIGH または LOW:HIGH:STEP の形にしてください",
      tvForm: "チャンネル番号を 21 や 21,22,35-37 の形で入れてください",
      bandCountRange: "帯域の波数は 1～64 の整数にしてください",
      bandCountAll: "波数を入れるなら、すべての帯域に入れてください",
      countMaxBands: "帯域ごとの波数と「入るだけ」は一緒に使えません",
      tool: (m) => `プランナーが受け付けません: ${m}`,
      family: { "2tx3": "2波3次 (2a−b)", "3tx3": "3波3次 (a+b−c)", "2tx5": "2波5次 (3a−2b)" },
      familyMargin: (name, m) => `余裕 ${name}: ${m === null ? "なし（波数が足りません）" : m + " MHz"}`,
      bandName: { b: (n) => `B帯 ${n}ch`, tv: (n) => `テレビ ${n}ch`, band: (t) => `帯域 ${t}`, fixed: "固定波" },
      tooMany: (n) => `このプランは ${n} 波です。チェックの欄は 12 までなので、チェックには入れられません。`,
      rangeForm: "F または LOW:HIGH の形にしてください",
      lowAboveHigh: "LOW が HIGH より大きくなっています",
      countRange: "1～64 の整数にしてください",
      countOrMax: "波数を入れるか「入るだけ」を選んでください",
      countAndMax: "波数と「入るだけ」はどちらか一方にしてください",
      spacingMin: "0.125 MHz 以上にしてください",
      fixedMany: "固定波は 64 波までです",
      countBelowFixed: (n) => `固定波が ${n} 波あります。波数はそれ以上にしてください`,
      searching: (p, limit) => `探索中: ${p.carriers} 波のプラン、最良の余裕 ${
        p.best === null ? "未発見" : p.best.margin === null ? "―" : p.best.margin + " MHz"}${
        p.bound === null ? "" : `（可能な余裕は最大 ${p.bound} MHz）`}、${
        Math.round(p.nodes / 1000)}k ノード、${(p.ms / 1000).toFixed(1)} 秒 / 上限 ${limit} 秒`,
      starting: "探索を始めています…",
      planOf: (n) => `プラン（${n} 波）`,
      proven: "最良であることを証明しました。",
      unproven: "時間制限で打ち切りました。最良とは限りません。",
      stopped: "停止しました。それまでに見つかった最良のプランです（最良とは限りません）。",
      stoppedNone: "停止しました。まだプランは見つかっていませんでした。",
      none: (largest) => largest === null ? "時間内にプランが見つかりませんでした。" :
        `この条件を満たすプランはありません。入る最大の波数: ${largest}`,
      broken: (kind) => `固定波だけで既に${kind === "spacing" ? "間隔" : "相互変調"}の条件を満たしていません。`,
      failed: "計算を完了できませんでした。",
    },
    en: {
      tabs: "View", tabCheck: "Check", tabPlan: "Plan", result: "Result",
      other: "日本語",
      kinds: { intermodulation: "Intermod", close: "Close", same: "Same" },
      pasteOver: (n) => `${n} frequencies did not fit: they would come after F12.`,
      bands: "Bands", addBand: "Add a band", removeBand: "Remove", bandKind: "Kind",
      kindB: "B band (806.125–809.750)", kindTv: "TV channels", kindRange: "Range (MHz)",
      bandChannels: "Channels (13–52, e.g. 21,22,35-37)", bandRange: "LOW:HIGH or LOW:HIGH:STEP",
      bandStep: "Step (MHz, 0.025 if empty)", bandCount: "Carriers from this band (optional)",
      bandsHint: "No band: the B band. Counts per band go into every band or none.",
      tvEdge: "Edge kept free inside TV channels (MHz, 0 if empty)",
      count: "Carriers (fixed ones included, 1–64)", max: "As many as fit",
      countHint: "May stay empty when every band has a count",
      spacing: "Spacing (MHz: carriers lie farther apart; at least 0.125)", guard: "Guard for two-carrier third order, 2a−b (MHz: products must lie farther away)",
      w3tx3: "Window for three-carrier third order, a+b−c (MHz; empty: not checked)",
      w2tx5: "Window for two-carrier fifth order, 3a−2b (MHz; empty: not checked)",
      windowHint: "0 avoids only products that fall exactly on a carrier",
      fixed: "Fixed carriers (in use, MHz, separated by spaces)",
      exclude: "Exclusions (a frequency F or a range LOW:HIGH, separated by spaces)",
      excludeHint: "e.g. 807.000 808.000:808.500",
      time: "Time limit (seconds)", start: "Search", stop: "Stop",
      copy: "Copy", toCheck: "Put into Check", copied: "Copied.",
      number: ["", "is not a number such as 806.125", "has more than three decimals",
        "must be above zero", "is too large"],
      bandForm: "write LOW:HIGH or LOW:HIGH:STEP",
      tvForm: "write channel numbers such as 21 or 21,22,35-37",
      bandCountRange: "a band's count is a whole number from 1 to 64",
      bandCountAll: "give every band a count, or none",
      countMaxBands: "“As many as fit” does not go with counts per band",
      tool: (m) => `The planner refuses: ${m}`,
      family: { "2tx3": "two-carrier third order (2a−b)", "3tx3": "three-carrier third order (a+b−c)", "2tx5": "two-carrier fifth order (3a−2b)" },
      familyMargin: (name, m) => `Margin, ${name}: ${m === null ? "none (too few carriers)" : m + " MHz"}`,
      bandName: { b: (n) => `B band ch ${n}`, tv: (n) => `TV ch ${n}`, band: (t) => `band ${t}`, fixed: "fixed" },
      tooMany: (n) => `This plan has ${n} carriers; Check has 12 fields, so it cannot go into Check.`,
      rangeForm: "write F or LOW:HIGH",
      lowAboveHigh: "LOW is above HIGH",
      countRange: "enter a whole number from 1 to 64",
      countOrMax: "enter a number of carriers or choose “As many as fit”",
      countAndMax: "enter a number of carriers or choose “As many as fit”, not both",
      spacingMin: "must be at least 0.125 MHz",
      fixedMany: "at most 64 fixed carriers",
      countBelowFixed: (n) => `there are ${n} fixed carriers; ask for at least that many`,
      searching: (p, limit) => `Searching plans of ${p.carriers} carriers, best margin ${
        p.best === null ? "none yet" : p.best.margin === null ? "–" : p.best.margin + " MHz"}${
        p.bound === null ? "" : ` (at most ${p.bound} MHz possible)`}, ${
        Math.round(p.nodes / 1000)}k nodes, ${(p.ms / 1000).toFixed(1)} s of at most ${limit} s`,
      starting: "Starting the search…",
      planOf: (n) => `Plan (${n} carriers)`,
      proven: "Proven best.",
      unproven: "Stopped by the time limit: not proven best.",
      stopped: "Stopped. The best plan found until then (not proven best).",
      stoppedNone: "Stopped before any plan was found.",
      none: (largest) => largest === null ? "No plan found within the time limit." :
        `No plan meets these rules. The most carriers that fit: ${largest}`,
      broken: (kind) => `The fixed carriers alone already break the ${kind === "spacing" ? "spacing" : "intermodulation"} rule.`,
      failed: "The calculation could not be completed.",
    },
  };
  let lang = "ja";
  const T = () => TEXTS[lang];

  // Test and benchmark hooks: when the module is ready, and how long the
  // last check and plan took from the user's action to the shown result.
  const timing = {};
  let zelmar = null;
  const core = zelmarCore();
  const wasmBytes = core.decodeBase64($("zelmar-wasm").textContent.trim());
  const ready = core.load(wasmBytes).then((z) => { zelmar = z; });
  window.zelmarPage = { ready, timing };

  // ---- the check tab -------------------------------------------------------
  const fieldsBox = $("fields");
  const inputs = [];
  for (let k = 1; k <= kSlots; k++) {
    const box = document.createElement("div");
    box.className = "field";
    const label = document.createElement("label");
    label.htmlFor = "f" + k;
    label.textContent = "F" + k;
    const input = document.createElement("input");
    Object.assign(input, { id: "f" + k, name: "f" + k, autocomplete: "off", spellcheck: false });
    input.setAttribute("inputmode", "decimal");
    input.addEventListener("paste", (e) => onPaste(e, k - 1));
    input.addEventListener("input", () => { $("paste-note").textContent = ""; saveState(); });
    box.append(label, input);
    fieldsBox.append(box);
    inputs.push(input);
  }

  // A pasted list fills this field and the ones after it; a single value
  // pastes as usual.
  function onPaste(event, index) {
    const text = (event.clipboardData || window.clipboardData).getData("text");
    const values = text.split(/[\s,;、，]+/).filter((v) => v !== "");
    if (values.length < 2) return;
    event.preventDefault();
    values.slice(0, kSlots - index).forEach((v, i) => { inputs[index + i].value = v; });
    const over = values.length - (kSlots - index);
    pasteOver = over > 0 ? over : 0;
    renderPasteNote();
    saveState();
  }
  let pasteOver = 0;
  function renderPasteNote() {
    $("paste-note").textContent = pasteOver ? T().pasteOver(pasteOver) : "";
  }

  let lastCheck = null;
  let pressedAt = null;
  $("check-form").addEventListener("keydown", (e) => {
    if (e.key === "Enter") pressedAt = e.timeStamp;
  });
  $("check-form").addEventListener("submit", async (e) => {
    e.preventDefault();
    const started = pressedAt !== null ? pressedAt : performance.now();
    pressedAt = null;
    if (!zelmar) await ready;
    try {
      lastCheck = zelmar.check(inputs.map((i) => i.value));
    } catch (error) {
      lastCheck = { failed: true };
    }
    if (!lastCheck.failed) lastCheck.fields.forEach((text, i) => { inputs[i].value = text; });
    renderCheck();
    saveState();
    timing.checkWork = performance.now() - started;
    requestAnimationFrame(() => { timing.check = performance.now() - started; });
  });
  $("clear").addEventListener("click", () => {
    inputs.forEach((i) => { i.value = ""; });
    lastCheck = null;
    pasteOver = 0;
    renderPasteNote();
    renderCheck();
    saveState();
    inputs[0].focus();
  });

  function renderCheck() {
    const list = $("findings");
    list.textContent = "";
    $("result").hidden = false;
    if (!lastCheck) { $("result").textContent = ""; return; }
    if (lastCheck.failed) { $("result").textContent = T().failed; return; }
    $("result").textContent = lastCheck.result.replace(/\r\n/g, "\n");
    // With findings, their marked list shows the same lines.
    $("result").hidden = lastCheck.findings.length > 0;
    const lines = lastCheck.result.split("\r\n");
    lastCheck.findings.forEach((f, i) => {
      const item = document.createElement("li");
      item.dataset.finding = JSON.stringify(f);
      const badge = document.createElement("span");
      badge.className = "kind " + f.kind;
      badge.textContent = T().kinds[f.kind];
      const line = document.createElement("span");
      line.lang = "ja";
      line.textContent = lines[i];
      item.append(badge, line);
      list.append(item);
    });
  }

  // ---- the plan tab --------------------------------------------------------
  const kMaxCarriers = 64;
  const planFields = ["bands", "tvedge", "count", "spacing", "guard", "w3tx3", "w2tx5", "fixed",
    "exclude", "time", "form"];
  const textFields = ["tvedge", "count", "spacing", "guard", "w3tx3", "w2tx5", "fixed", "exclude", "time"];
  const planInput = (name) => $("p-" + name);
  const tokens = (text) => text.split(/[\s,、，]+/).filter((t) => t !== "");
  let planErrors = {};  // field: [text key, argument, token]

  // The bands, one row each: a kind (the B band, TV channels, a range), its
  // value, a step for TV channels and an optional count.
  let bandSerial = 0;
  const bandRows = () => [...$("p-band-rows").children].map((row) => ({
    kind: row.querySelector("select").value,
    value: row.querySelector(".band-value").value.trim(),
    step: row.querySelector(".band-step").value.trim(),
    count: row.querySelector(".band-count").value.trim(),
  }));
  function addBandRow(band = { kind: "b" }) {
    const n = ++bandSerial;
    const row = document.createElement("div");
    row.className = "band-row";
    const part = (text, control, className) => {
      const box = document.createElement("span");
      box.className = "band-part part-" + className;
      const label = document.createElement("label");
      label.dataset.text = text;
      label.textContent = T()[text];
      control.id = `p-band-${className}-${n}`;
      label.htmlFor = control.id;
      box.append(label, control);
      row.append(box);
      return box;
    };
    const kind = document.createElement("select");
    for (const [value, text] of [["b", "kindB"], ["tv", "kindTv"], ["range", "kindRange"]]) {
      const option = new Option(T()[text], value);
      option.dataset.text = text;
      kind.append(option);
    }
    kind.value = band.kind;
    part("bandKind", kind, "kind");
    const input = (value, className, mode) => {
      const i = document.createElement("input");
      Object.assign(i, { className, value: value || "", autocomplete: "off", spellcheck: false });
      i.setAttribute("inputmode", mode);
      i.addEventListener("input", saveState);
      return i;
    };
    const valueBox = part("bandRange", input(band.value, "band-value", "text"), "value");
    const stepBox = part("bandStep", input(band.step, "band-step", "decimal"), "step");
    part("bandCount", input(band.count, "band-count", "numeric"), "count");
    const remove = document.createElement("button");
    remove.type = "button";
    remove.dataset.text = "removeBand";
    remove.textContent = T().removeBand;
    remove.addEventListener("click", () => {
      const next = row.nextElementSibling || row.previousElementSibling;
      row.remove();
      saveState();
      (next ? next.querySelector("select") : $("p-add-band")).focus();
    });
    row.append(remove);
    const showKind = () => {
      valueBox.hidden = kind.value === "b";
      stepBox.hidden = kind.value !== "tv";
      const label = valueBox.querySelector("label");
      label.dataset.text = kind.value === "tv" ? "bandChannels" : "bandRange";
      label.textContent = T()[label.dataset.text];
    };
    kind.addEventListener("change", () => { showKind(); saveState(); });
    showKind();
    $("p-band-rows").append(row);
    return row;
  }
  $("p-add-band").addEventListener("click", () => {
    addBandRow().querySelector("select").focus();
    saveState();
  });

  // The form as zelmar-plan's arguments, or nothing when a field is wrong;
  // numbers are read by the planner's own reader in the module. The
  // planner itself refuses what these light checks let through.
  function planArguments() {
    planErrors = {};
    const args = ["--json"];
    const fail = (field, key, arg, token) => { if (!planErrors[field]) planErrors[field] = [key, arg, token]; };
    const number = (field, text, allowZero) => {
      const r = zelmar.readMHz(text, allowZero);
      if (r.error) fail(field, "number", r.error, text);
      return r.error ? null : Number(r.text);
    };
    const rows = bandRows();
    const counted = rows.filter((b) => b.count !== "").length;
    if (counted > 0 && counted < rows.length) fail("bands", "bandCountAll");
    for (const band of rows) {
      let text = band.kind === "b" ? "b" : band.value;
      if (band.kind === "range") {
        const parts = band.value.split(":");
        if (parts.length < 2 || parts.length > 3) { fail("bands", "bandForm", null, band.value); continue; }
        const values = parts.map((p) => number("bands", p, false));
        if (values.every((v) => v !== null) && values[0] > values[1]) fail("bands", "lowAboveHigh", null, band.value);
      } else if (band.kind === "tv") {
        text = tokens(band.value).join(",");
        if (!/^[0-9]+(-[0-9]+)?(,[0-9]+(-[0-9]+)?)*$/.test(text)) fail("bands", "tvForm", null, band.value);
        if (band.step !== "" && number("bands", band.step, false) !== null) text += ":" + band.step;
      }
      if (band.count !== "" && (!/^[0-9]{1,2}$/.test(band.count) || +band.count < 1 || +band.count > kMaxCarriers)) {
        fail("bands", "bandCountRange", null, band.count);
      }
      if (band.count !== "") text += "=" + +band.count;
      args.push(band.kind === "tv" ? "--tv" : "--band", text);
    }
    const tvEdge = planInput("tvedge").value.trim();
    if (tvEdge !== "" && number("tvedge", tvEdge, true) !== null) args.push("--tv-edge", tvEdge);
    for (const range of tokens(planInput("exclude").value)) {
      const parts = range.split(":");
      if (parts.length > 2) { fail("exclude", "rangeForm", null, range); continue; }
      const values = parts.map((p) => number("exclude", p, false));
      if (values.every((v) => v !== null)) {
        if (values.length === 2 && values[0] > values[1]) fail("exclude", "lowAboveHigh", null, range);
        else args.push("--exclude", range);
      }
    }
    const fixed = tokens(planInput("fixed").value);
    if (fixed.length > kMaxCarriers) fail("fixed", "fixedMany");
    for (const f of fixed) if (number("fixed", f, false) !== null) args.push("--fixed", f);
    const count = planInput("count").value.trim();
    const max = $("p-max").checked;
    if (max && counted) fail("count", "countMaxBands");
    else if (max && count !== "") fail("count", "countAndMax");
    else if (max) args.push("--max");
    else if (count === "" && !counted) fail("count", "countOrMax");
    else if (count === "") { /* the band counts say how many */ }
    else if (!/^[0-9]{1,2}$/.test(count) || +count < 1 || +count > kMaxCarriers) fail("count", "countRange", null, count);
    else if (+count < fixed.length) fail("count", "countBelowFixed", fixed.length);
    else args.push("--count", String(+count));
    const spacing = planInput("spacing").value.trim();
    if (spacing !== "") {
      const s = number("spacing", spacing, false);
      if (s !== null && s < 0.125) fail("spacing", "spacingMin", null, spacing);
      else if (s !== null) args.push("--spacing", spacing);
    }
    const guard = planInput("guard").value.trim();
    if (guard !== "" && number("guard", guard, true) !== null) args.push("--guard", guard);
    for (const kind of ["3tx3", "2tx5"]) {
      const w = planInput("w" + kind).value.trim();
      if (w !== "" && number("w" + kind, w, true) !== null) args.push("--window", `${kind}=${w}`);
    }
    const time = planInput("time").value.trim();
    if (time !== "" && number("time", time, false) !== null) args.push("--time-limit", time);
    renderPlanErrors();
    return Object.keys(planErrors).length ? null : args;
  }

  // The field a refusal of the planner is about, by the option it names.
  function refusedField(message) {
    const rules = [[/--tv-edge/, "tvedge"], [/--count|--max/, "count"],
      [/--band|--tv|band counts|bands with counts|channel/, "bands"], [/--spacing/, "spacing"],
      [/--guard|2tx3/, "guard"], [/3tx3/, "w3tx3"], [/2tx5/, "w2tx5"], [/--fixed|fixed carrier/, "fixed"],
      [/--exclude|exclusion/, "exclude"], [/--time-limit/, "time"]];
    const rule = rules.find(([pattern]) => pattern.test(message));
    return rule ? rule[1] : "form";
  }

  function renderPlanErrors() {
    for (const field of planFields) {
      const error = planErrors[field];
      const input = planInput(field);
      let text = "";
      if (error) {
        const [key, arg, token] = error;
        const message = typeof T()[key] === "function" ? T()[key](arg)
          : key === "number" ? T().number[arg] : T()[key];
        const quoted = lang === "ja" ? `「${token}」: ` : `“${token}” `;
        text = token !== undefined && token !== null ? quoted + message : message;
      }
      $("p-" + field + "-error").textContent = text;
      if (!input) continue;
      input.setAttribute("aria-invalid", error ? "true" : "false");
      if (error) input.setAttribute("aria-describedby", "p-" + field + "-error");
      else input.removeAttribute("aria-describedby");
    }
  }

  // The worker is started with the page, so a search starts at once.
  const workerUrl = URL.createObjectURL(new Blob(
    [`(${zelmarWorker})((${zelmarCore})());`], { type: "text/javascript" }));
  let worker = null;
  let search = null;  // the running search: {started, limit, progress}
  let planShown = null;  // what the outcome area shows: {kind, ...}
  function startWorker() {
    worker = new Worker(workerUrl);
    worker.onmessage = (event) => onWorkerMessage(event.data);
    worker.postMessage({ bytes: wasmBytes });
  }
  startWorker();

  function onWorkerMessage(message) {
    if (!search) return;
    if (message.progress) {
      search.progress = message.progress;
      renderProgress();
    } else if (message.done) {
      const { status, text, errors } = message.done;
      const started = search.started;
      search = null;
      const lines = (errors || "").split("\n").filter((l) => l !== "").map((l) => l.replace(/^zelmar-plan: /, ""));
      if (status === 0 || status === 1) {
        planShown = { kind: "outcome", outcome: JSON.parse(text), warnings: lines };
      } else if (status === 2 && lines.length) {
        // A refusal goes beside the field it is about.
        planShown = { kind: "refused" };
        planErrors = { [refusedField(lines[0])]: ["tool", lines[0]] };
        renderPlanErrors();
      } else {
        planShown = { kind: "failed" };
      }
      renderPlan();
      requestAnimationFrame(() => { timing.plan = performance.now() - started; });
    }
  }

  $("plan-form").addEventListener("submit", async (e) => {
    e.preventDefault();
    if (search) return;
    const started = performance.now();
    if (!zelmar) await ready;
    const args = planArguments();
    saveState();
    if (!args) return;
    const limit = planInput("time").value.trim() || "10";
    search = { started, limit, progress: null };
    planShown = null;
    worker.postMessage({ args, intervalMs: kProgressMs });
    renderPlan();
  });

  // A worker busy in a search cannot be asked to stop: it is ended, and the
  // answer its last progress carried for the best plan so far is shown.
  $("p-stop").addEventListener("click", () => {
    if (!search) return;
    worker.terminate();
    const progress = search.progress;
    search = null;
    planShown = { kind: "stopped", outcome: progress && progress.best };
    renderPlan();
    startWorker();
    $("p-start").focus();
  });

  function renderProgress() {
    const p = search && search.progress;
    $("p-progress").textContent = !search ? "" : p ? T().searching(p, search.limit) : T().starting;
    if (p && p.best) $("p-progress").append(planList(p.best.plan, "p-progress-plan"));
  }

  function planList(plan, id = "p-plan", bands = []) {
    const list = document.createElement("ol");
    list.className = "plan";
    list.id = id;
    plan.forEach((f, i) => {
      const item = document.createElement("li");
      const frequency = document.createElement("span");
      frequency.className = "f";
      frequency.textContent = f;
      item.append(frequency);
      if (bands[i]) {
        const band = document.createElement("span");
        band.className = "band";
        band.textContent = bandName(bands[i]);
        item.append(band);
      }
      list.append(item);
    });
    return list;
  }

  // The planner's band names ("B ch 1", "TV ch 21", "band 470:480", "fixed")
  // in the page's language.
  function bandName(name) {
    const names = T().bandName;
    let m;
    if ((m = /^B ch ([0-9]+)$/.exec(name))) return names.b(m[1]);
    if ((m = /^TV ch ([0-9]+)$/.exec(name))) return names.tv(m[1]);
    if ((m = /^band (.*)$/.exec(name))) return names.band(m[1]);
    return name === "fixed" ? names.fixed : name;
  }

  function shownPlan() {
    return planShown && planShown.outcome ? planShown.outcome.plan : [];
  }

  function renderPlan() {
    $("p-start").disabled = !!search;
    $("p-stop").disabled = !search;
    renderProgress();
    const box = $("p-outcome");
    box.textContent = "";
    const say = (text, className) => {
      const p = document.createElement("p");
      p.textContent = text;
      if (className) p.className = className;
      box.append(p);
    };
    const s = planShown;
    if (s && s.outcome && s.outcome.count > 0) {
      say(T().planOf(s.outcome.count));
      box.append(planList(s.outcome.plan, "p-plan", s.outcome.bands));
      for (const [family, margin] of Object.entries(s.outcome.margins)) {
        say(T().familyMargin(T().family[family] || family, margin), "margin");
      }
      say(s.kind === "stopped" ? T().stopped : s.outcome.proven ? T().proven : T().unproven);
    } else if (s && s.kind === "outcome" && s.outcome.broken) {
      say(T().broken(s.outcome.broken), "error");
    } else if (s && s.kind === "outcome") {
      say(T().none(s.outcome.largest), "error");
    } else if (s && s.kind === "stopped") {
      say(T().stoppedNone);
    } else if (s && s.kind === "failed") {
      say(T().failed, "error");
    }
    // Warnings of the planner (a fixed carrier inside an exclusion) stay in
    // its own words.
    if (s && s.warnings) s.warnings.forEach((w) => say(w, "note"));
    box.dataset.state = s ? s.kind : search ? "searching" : "";
    const count = shownPlan().length;
    $("p-actions").hidden = count === 0;
    $("p-to-check").disabled = count > kSlots;
    $("p-too-many").textContent = count > kSlots ? T().tooMany(count) : "";
  }

  $("p-copy").addEventListener("click", async () => {
    const text = shownPlan().join("\n") + "\n";
    try {
      await navigator.clipboard.writeText(text);
    } catch (error) {
      const area = document.createElement("textarea");
      area.value = text;
      document.body.append(area);
      area.select();
      document.execCommand("copy");
      area.remove();
    }
    const note = document.createElement("p");
    note.className = "note";
    note.setAttribute("role", "status");
    note.textContent = T().copied;
    $("p-outcome").append(note);
  });
  $("p-to-check").addEventListener("click", () => {
    const plan = shownPlan();
    if (plan.length > kSlots) return;
    inputs.forEach((input, i) => { input.value = plan[i] || ""; });
    selectTab("check");
    $("calc").click();
    inputs[0].focus();
  });
  for (const field of textFields) planInput(field).addEventListener("input", saveState);
  $("p-max").addEventListener("change", saveState);

  // ---- tabs, language and the fragment ----------------------------------------
  let tab = "check";
  function selectTab(name) {
    tab = name;
    for (const t of ["check", "plan"]) {
      const selected = t === name;
      $("tab-" + t).setAttribute("aria-selected", String(selected));
      $("tab-" + t).tabIndex = selected ? 0 : -1;
      $("panel-" + t).hidden = !selected;
    }
    saveState();
  }
  $("tab-check").addEventListener("click", () => selectTab("check"));
  $("tab-plan").addEventListener("click", () => selectTab("plan"));
  $("tabs").addEventListener("keydown", (e) => {
    if (e.key !== "ArrowLeft" && e.key !== "ArrowRight") return;
    const next = tab === "check" ? "plan" : "check";
    selectTab(next);
    $("tab-" + next).focus();
  });

  function applyLanguage() {
    document.documentElement.lang = lang;
    for (const element of document.querySelectorAll("[data-text]")) {
      element.textContent = T()[element.dataset.text];
    }
    $("tabs").setAttribute("aria-label", T().tabs);
    $("lang").textContent = T().other;
    $("lang").lang = lang === "ja" ? "en" : "ja";
    renderPasteNote();
    renderCheck();
    renderPlanErrors();
    renderPlan();
  }
  $("lang").addEventListener("click", () => {
    lang = lang === "ja" ? "en" : "ja";
    applyLanguage();
    saveState();
  });

  // Fields, plan request, tab and language as "#key=value&...".
  let restoring = false;
  function saveState() {
    if (restoring) return;
    const state = new URLSearchParams();
    if (tab !== "check") state.set("tab", tab);
    if (lang !== "ja") state.set("lang", lang);
    inputs.forEach((input, i) => { if (input.value !== "") state.set("f" + (i + 1), input.value); });
    for (const field of textFields) {
      const value = planInput(field).value;
      if (value !== "") state.set(field, value);
    }
    for (const band of bandRows()) {
      for (const key of ["kind", "value", "step", "count"]) state.append("b" + key[0], band[key]);
    }
    if ($("p-max").checked) state.set("max", "1");
    const hash = state.toString();
    if (hash !== location.hash.slice(1)) history.replaceState(null, "", hash ? "#" + hash : location.pathname + location.search);
  }
  function loadState() {
    const state = new URLSearchParams(location.hash.slice(1));
    restoring = true;
    lang = state.get("lang") === "en" ? "en" : "ja";
    inputs.forEach((input, i) => { input.value = state.get("f" + (i + 1)) || ""; });
    for (const field of textFields) planInput(field).value = state.get(field) || "";
    $("p-band-rows").textContent = "";
    const [kinds, values, steps, counts] = ["bk", "bv", "bs", "bc"].map((k) => state.getAll(k));
    kinds.forEach((kind, i) => addBandRow({ kind: ["b", "tv", "range"].includes(kind) ? kind : "range",
      value: values[i], step: steps[i], count: counts[i] }));
    // Links made before the band rows: "bands" held ranges separated by spaces.
    for (const range of tokens(state.get("bands") || "")) addBandRow({ kind: "range", value: range });
    $("p-max").checked = state.get("max") === "1";
    selectTab(state.get("tab") === "plan" ? "plan" : "check");
    restoring = false;
    applyLanguage();
  }
  window.addEventListener("hashchange", loadState);
  loadState();
})();
