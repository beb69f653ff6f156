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
      bands: "帯域（LOW:HIGH または LOW:HIGH:STEP、MHz、空白で区切って複数可）",
      bPreset: "B帯", bandsHint: "空欄のときは B帯 806.125:809.750:0.125（間隔 0.125 MHz）",
      count: "波数（固定波を含む）", max: "入るだけ",
      spacing: "最小間隔（MHz、0.125 以上）", guard: "ガード（MHz、積がこれより離れること）",
      fixed: "固定波（使用中の周波数、MHz、空白で区切る）",
      exclude: "除外（周波数 F または範囲 LOW:HIGH、空白で区切る）",
      excludeHint: "例: 807.000 808.000:808.500",
      time: "時間制限（秒）", start: "探　索", stop: "停　止",
      copy: "コピー", toCheck: "チェックに入れる", copied: "コピーしました。",
      number: ["", "数値として読めません（例: 806.125）", "小数点以下は 3 桁までです",
        "0 より大きい値にしてください", "大きすぎます"],
      bandForm: "LOW:HIGH または LOW:HIGH:STEP の形にしてください",
      rangeForm: "F または LOW:HIGH の形にしてください",
      lowAboveHigh: "LOW が HIGH より大きくなっています",
      countRange: "1～12 の整数にしてください",
      countOrMax: "波数を入れるか「入るだけ」を選んでください",
      countAndMax: "波数と「入るだけ」はどちらか一方にしてください",
      spacingMin: "0.125 MHz 以上にしてください",
      fixedMany: "固定波は 12 波までです",
      countBelowFixed: (n) => `固定波が ${n} 波あります。波数はそれ以上にしてください`,
      searching: (p, limit) => `探索中: ${p.carriers} 波のプラン、最良の余裕 ${
        p.margin === null ? (p.plan.length ? "―" : "未発見") : p.margin + " MHz"}${
        p.bound === null ? "" : `（可能な余裕は最大 ${p.bound} MHz）`}、${
        Math.round(p.nodes / 1000)}k ノード、${(p.ms / 1000).toFixed(1)} 秒 / 上限 ${limit} 秒`,
      starting: "探索を始めています…",
      planOf: (n) => `プラン（${n} 波）`,
      margin: (m) => m === null ? "余裕: なし（3 波未満）" : `余裕: ${m} MHz`,
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
      bands: "Bands (LOW:HIGH or LOW:HIGH:STEP in MHz, several separated by spaces)",
      bPreset: "B band", bandsHint: "Empty: the B band 806.125:809.750:0.125 (0.125 MHz steps)",
      count: "Carriers (fixed ones included)", max: "As many as fit",
      spacing: "Minimum spacing (MHz, at least 0.125)", guard: "Guard (MHz: products must lie farther away)",
      fixed: "Fixed carriers (in use, MHz, separated by spaces)",
      exclude: "Exclusions (a frequency F or a range LOW:HIGH, separated by spaces)",
      excludeHint: "e.g. 807.000 808.000:808.500",
      time: "Time limit (seconds)", start: "Search", stop: "Stop",
      copy: "Copy", toCheck: "Put into Check", copied: "Copied.",
      number: ["", "is not a number such as 806.125", "has more than three decimals",
        "must be above zero", "is too large"],
      bandForm: "write LOW:HIGH or LOW:HIGH:STEP",
      rangeForm: "write F or LOW:HIGH",
      lowAboveHigh: "LOW is above HIGH",
      countRange: "enter a whole number from 1 to 12",
      countOrMax: "enter a number of carriers or choose “As many as fit”",
      countAndMax: "enter a number of carriers or choose “As many as fit”, not both",
      spacingMin: "must be at least 0.125 MHz",
      fixedMany: "at most 12 fixed carriers",
      countBelowFixed: (n) => `there are ${n} fixed carriers; ask for at least that many`,
      searching: (p, limit) => `Searching plans of ${p.carriers} carriers, best margin ${
        p.margin === null ? (p.plan.length ? "–" : "none yet") : p.margin + " MHz"}${
        p.bound === null ? "" : ` (at most ${p.bound} MHz possible)`}, ${
        Math.round(p.nodes / 1000)}k nodes, ${(p.ms / 1000).toFixed(1)} s of at most ${limit} s`,
      starting: "Starting the search…",
      planOf: (n) => `Plan (${n} carriers)`,
      margin: (m) => m === null ? "Margin: none (fewer than three carriers)" : `Margin: ${m} MHz`,
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
  const planFields = ["bands", "count", "spacing", "guard", "fixed", "exclude", "time"];
  const planInput = (name) => $("p-" + name);
  const tokens = (text) => text.split(/[\s,、，]+/).filter((t) => t !== "");
  let planErrors = {};  // field: [text key, argument, token]

  // The form as zelmar-plan's arguments, or nothing when a field is wrong;
  // numbers are read by the planner's own reader in the module.
  function planArguments() {
    planErrors = {};
    const args = ["--json"];
    const fail = (field, key, arg, token) => { if (!planErrors[field]) planErrors[field] = [key, arg, token]; };
    const number = (field, text, allowZero) => {
      const r = zelmar.readMHz(text, allowZero);
      if (r.error) fail(field, "number", r.error, text);
      return r.error ? null : Number(r.text);
    };
    for (const band of tokens(planInput("bands").value)) {
      const parts = band.split(":");
      if (parts.length < 2 || parts.length > 3) { fail("bands", "bandForm", null, band); continue; }
      const values = parts.map((p) => number("bands", p, false));
      if (values.every((v) => v !== null)) {
        if (values[0] > values[1]) fail("bands", "lowAboveHigh", null, band);
        else args.push("--band", band);
      }
    }
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
    if (fixed.length > kSlots) fail("fixed", "fixedMany");
    for (const f of fixed) if (number("fixed", f, false) !== null) args.push("--fixed", f);
    const count = planInput("count").value.trim();
    const max = $("p-max").checked;
    if (max && count !== "") fail("count", "countAndMax");
    else if (max) args.push("--max");
    else if (count === "") fail("count", "countOrMax");
    else if (!/^[0-9]{1,2}$/.test(count) || +count < 1 || +count > kSlots) fail("count", "countRange", null, count);
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
    const time = planInput("time").value.trim();
    if (time !== "" && number("time", time, false) !== null) args.push("--time-limit", time);
    renderPlanErrors();
    return Object.keys(planErrors).length ? null : args;
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
      const { status, text } = message.done;
      const started = search.started;
      search = null;
      if (status === 0 || status === 1) {
        planShown = { kind: "outcome", outcome: JSON.parse(text) };
      } else if (status === 2) {
        planShown = { kind: "message", text: text.replace(/^zelmar-plan: /, "") };
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
  // plan its last progress carried is kept.
  $("p-stop").addEventListener("click", () => {
    if (!search) return;
    worker.terminate();
    const progress = search.progress;
    search = null;
    planShown = { kind: "stopped", plan: progress ? progress.plan : [],
      margin: progress ? progress.margin : null };
    renderPlan();
    startWorker();
    $("p-start").focus();
  });

  function renderProgress() {
    const p = search && search.progress;
    $("p-progress").textContent = !search ? "" : p ? T().searching(p, search.limit) : T().starting;
    if (p && p.plan.length) $("p-progress").append(planList(p.plan, "p-progress-plan"));
  }

  function planList(plan, id = "p-plan") {
    const list = document.createElement("ol");
    list.className = "plan";
    list.id = id;
    for (const f of plan) {
      const item = document.createElement("li");
      item.textContent = f;
      list.append(item);
    }
    return list;
  }

  function shownPlan() {
    if (!planShown) return [];
    if (planShown.kind === "stopped") return planShown.plan;
    return planShown.kind === "outcome" ? planShown.outcome.plan : [];
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
    if (s && s.kind === "outcome" && s.outcome.count > 0) {
      say(T().planOf(s.outcome.count));
      box.append(planList(s.outcome.plan));
      say(T().margin(s.outcome.margin));
      say(s.outcome.proven ? T().proven : T().unproven);
    } else if (s && s.kind === "outcome" && s.outcome.broken) {
      say(T().broken(s.outcome.broken), "error");
    } else if (s && s.kind === "outcome") {
      say(T().none(s.outcome.largest), "error");
    } else if (s && s.kind === "stopped") {
      say(s.plan.length ? T().stopped : T().stoppedNone);
      if (s.plan.length) {
        box.append(planList(s.plan));
        say(T().margin(s.margin));
      }
    } else if (s && s.kind === "message") {
      say(s.text, "error");
    } else if (s && s.kind === "failed") {
      say(T().failed, "error");
    }
    box.dataset.state = s ? s.kind : search ? "searching" : "";
    $("p-actions").hidden = shownPlan().length === 0;
  }

  $("p-bband").addEventListener("click", () => {
    planInput("bands").value = "806.125:809.750:0.125";
    saveState();
  });
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
    inputs.forEach((input, i) => { input.value = plan[i] || ""; });
    selectTab("check");
    $("calc").click();
    inputs[0].focus();
  });
  for (const field of planFields) planInput(field).addEventListener("input", saveState);
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
    for (const field of planFields) {
      const value = planInput(field).value;
      if (value !== "") state.set(field, value);
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
    for (const field of planFields) planInput(field).value = state.get(field) || "";
    $("p-max").checked = state.get("max") === "1";
    selectTab(state.get("tab") === "plan" ? "plan" : "check");
    restoring = false;
    applyLanguage();
  }
  window.addEventListener("hashchange", loadState);
  loadState();
})();
