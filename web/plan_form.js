// The plan form: device groups (bands, counts, rules, fixed carriers,
// spares) and the request's TV edge, exclusions and time limit as
// zelmar-plan's arguments. Numbers are read by the planner's own reader in
// the module; the planner refuses what these light checks let through.
//
// Ids: group 1's fields are p-FIELD (p-count, p-max, p-band-rows,
// p-add-band, p-name, p-spares, ...), group k's from 2 on p-gK-FIELD
// (p-g2-name, p-g2-count, p-g2-band-rows, ...); a field's refusal is shown
// in its id plus "-error". Fragment keys: group 1 keeps the keys of the form
// before groups (count, max, bk, bv, bs, bc, ...; new: name, label, apart,
// spares), group k the same behind "gK." (g2.name, g2.count, g2.bk, ...),
// with gK.name always there so that an empty group comes back.
function zelmarPlanForm(app) {
  "use strict";
  const { $, T } = app;
  const kMaxCarriers = 64;
  const kMaxGroups = 16;
  const kControl = /[\u0000-\u001f\u007f]/;
  const groupTexts = ["name", "label", "apart", "count", "spacing", "guard", "w3tx3", "w2tx5", "fixed", "spares"];
  const groupFields = [...groupTexts, "bands"];
  const requestTexts = ["tvedge", "exclude", "time"];
  // A group's field as the stem of its ids and its key in planErrors.
  const stem = (k, field) => (k === 1 ? "" : `g${k}-`) + field;
  const groupInput = (k, field) => $("p-" + stem(k, field));
  const stateKey = (k, key) => (k === 1 ? "" : `g${k}.`) + key;
  const reading = zelmarPlanReading(app);
  const { tokens } = reading;
  const { bandRows, addBandRow, buildGroup, groupOfShow } = zelmarPlanGroups(app, {
    stem, showGroups: () => showGroups(), removeGroup: (k) => removeGroup(k),
  });
  let planErrors = {};  // stem: [text key, argument, token, band row]
  let groupArgs = [];   // each group's own arguments, as last asked for

  const groupCount = () => $("p-groups").children.length;
  function readGroup(k) {
    const g = { max: groupInput(k, "max").checked, bands: bandRows(groupInput(k, "band-rows")) };
    for (const field of groupTexts) g[field] = groupInput(k, field).value;
    return g;
  }
  const groupValues = () => Array.from({ length: groupCount() }, (_, i) => readGroup(i + 1));
  // One group without a name or label is a request without groups: the
  // plain form.
  const plain = () => groupCount() === 1 && $("p-name").value === "" && $("p-label").value === "";
  function showGroups() {
    const isPlain = plain();
    $("p-group").classList.toggle("plain", isPlain);
    for (const row of $("p-group").querySelectorAll(".group-id")) row.hidden = isPlain;
    $("p-add-group").disabled = groupCount() >= kMaxGroups;
  }
  // The groups made anew from their values (group k's ids follow its place).
  function setGroups(list) {
    $("p-groups").textContent = "";
    list.forEach((g, i) => {
      const k = i + 1;
      $("p-groups").append(buildGroup(k));
      for (const field of groupTexts) groupInput(k, field).value = g[field] || "";
      groupInput(k, "max").checked = !!g.max;
      for (const band of g.bands || []) addBandRow(groupInput(k, "band-rows"), band);
    });
    showGroups();
    planErrors = {};
    renderPlanErrors();
  }
  function removeGroup(k) {
    const list = groupValues();
    list.splice(k - 1, 1);
    setGroups(list);
    (k <= groupCount() ? groupInput(k, "name") : $("p-add-group")).focus();
    app.saveState();
  }
  $("p-add-group").addEventListener("click", () => {
    const k = groupCount() + 1;
    $("p-groups").append(buildGroup(k));
    if (kPresets[$("p-preset").value]) setPreset($("p-preset").value, k);
    showGroups();
    groupInput(k, "name").focus();
    app.saveState();
  });

  // Rule presets, chosen first and then adjusted: the check's own rule
  // (the command line's defaults: 2tx3 products exactly on a carrier), a
  // standard set (3tx3 checked too, a guard band at TV channel edges) and a
  // strict one (a tolerance on every family). A group's fields, then the
  // request's TV edge; "custom" once any differs.
  const kPresets = {
    check: { spacing: "", guard: "", w3tx3: "", w2tx5: "", tvedge: "" },
    standard: { spacing: "", guard: "", w3tx3: "0", w2tx5: "", tvedge: "0.5" },
    strict: { spacing: "", guard: "0.1", w3tx3: "0.05", w2tx5: "0.025", tvedge: "0.5" },
  };
  const kRuleFields = ["spacing", "guard", "w3tx3", "w2tx5"];
  // The preset's rules in every group and the request, or in one new group.
  function setPreset(name, only) {
    const preset = kPresets[name];
    const groups = only ? [only] : Array.from({ length: groupCount() }, (_, i) => i + 1);
    for (const k of groups) for (const field of kRuleFields) groupInput(k, field).value = preset[field];
    if (only) return;
    $("p-tvedge").value = preset.tvedge;
    $("p-preset").value = name;
  }
  const presetOfFields = () => Object.keys(kPresets).find((name) =>
    $("p-tvedge").value.trim() === kPresets[name].tvedge && groupValues().every((g) =>
      kRuleFields.every((field) => g[field].trim() === kPresets[name][field]))) || "custom";
  $("p-preset").addEventListener("change", () => {
    if (kPresets[$("p-preset").value]) setPreset($("p-preset").value);
    app.saveState();
  });
  // Whether the outcome shown is of the form as it is (then the link
  // keeps it), and whether the link opened held one.
  let planned = false, plannedOnLoad = false;
  // (Captured, so that a field's own saving already leaves it out.)
  for (const type of ["input", "change"]) $("plan-form").addEventListener(type, () => { planned = false; }, true);
  // A rule adjusted by hand makes the choice "custom" (or the preset it
  // happens to equal).
  $("plan-form").addEventListener("input", (e) => {
    if (/^p-(g[0-9]+-)?(spacing|guard|w3tx3|w2tx5)$|^p-tvedge$/.test(e.target.id)) {
      $("p-preset").value = presetOfFields();
      app.saveState();
    }
  });

  // A group's bands as --band and --tv; the number of bands with a count.
  // A band's refusal names its row.
  function bandArguments(rows, field, req, out) {
    const counted = rows.filter((b) => b.count !== "").length;
    if (counted > 0 && counted < rows.length) req.fail(field, "bandCountAll");
    rows.forEach((band, i) => {
      const row = i + 1;
      const fail = (key, token) => req.fail(field, key, null, token, row);
      let text = "b";
      if (band.kind === "range") {
        const parts = reading.rangeParts(band.value);
        const typed = reading.typedProblem(band.value);
        if (band.value === "") return fail("bandEmpty");
        if (typed) return req.fail(field, typed[0], typed[1], band.value, row);
        if (parts.length < 2 || parts.length > 3) return fail("bandForm", band.value);
        const values = parts.map((p, j) => req.number(field, p, { frequency: j < 2, token: band.value, row }));
        if (values.every((v) => v !== null) && values[0] > values[1]) fail("lowAboveHigh", band.value);
        text = parts.join(":");
      } else if (band.kind === "tv") {
        const read = reading.channels(band.value);
        if (read.problem) return req.fail(field, read.problem[0], read.problem[1], read.problem[1], row);
        text = read.text;
        if (band.step !== "" && req.number(field, band.step, { token: band.step, row }) !== null) text += ":" + band.step;
      }
      if (band.count !== "" && (!/^[0-9]{1,2}$/.test(band.count) || +band.count < 1 || +band.count > kMaxCarriers)) {
        fail("bandCountRange", band.count);
      }
      if (band.count !== "") text += "=" + +band.count;
      out.push(band.kind === "tv" ? "--tv" : "--band", text);
    });
    return counted;
  }

  // --count or --max. Beside other groups, a group without either takes as
  // many as fit, as the planner reads it; one such group at most.
  function countArguments(g, k, counted, fixed, req, out) {
    const field = stem(k, "count");
    const count = g.count.trim();
    if (g.max && counted) req.fail(field, "countMaxBands");
    else if (g.max && count !== "") req.fail(field, "countAndMax");
    else if (g.max || (count === "" && !counted && req.several)) {
      if (req.open++) req.fail(field, "twoOpen");
      if (g.max) out.push("--max");
    } else if (count === "" && !counted) req.fail(field, "countOrMax");
    else if (count === "") { /* the band counts say how many */ }
    else if (!/^[0-9]{1,2}$/.test(count) || +count < 1 || +count > kMaxCarriers) req.fail(field, "countRange", null, count);
    else if (+count < fixed) req.fail(field, "countBelowFixed", fixed);
    else out.push("--count", String(+count));
  }

  // --group's value: the name, then label=, apart= and spares= where given.
  // A comma ends the name or a field, and = ends a field's key.
  function groupSpec(g, k, spares, req) {
    const field = (name) => stem(k, name);
    if (g.name.trim() === "") req.fail(field("name"), "nameEmpty");
    else if (g.name.includes(",")) req.fail(field("name"), "nameComma", null, g.name);
    else if (kControl.test(g.name)) req.fail(field("name"), "nameControl", null, g.name);
    if (/[,=]/.test(g.label)) req.fail(field("label"), "labelChars", null, g.label);
    else if (kControl.test(g.label)) req.fail(field("label"), "nameControl", null, g.label);
    let spec = g.name + (g.label !== "" ? ",label=" + g.label : "");
    const apart = g.apart.trim();
    if (apart !== "" && req.number(field("apart"), apart, { allowZero: true }) !== null) spec += ",apart=" + apart;
    return spec + (spares !== "" ? ",spares=" + spares : "");
  }

  // One group's arguments: its bands, the rest of its own options, and its
  // --group value (used when the request has groups).
  function groupArguments(g, k, req) {
    const field = (name) => stem(k, name);
    const bands = [], rules = [];
    const counted = bandArguments(g.bands, field("bands"), req, bands);
    const fixed = tokens(g.fixed);
    if (fixed.length > kMaxCarriers) req.fail(field("fixed"), "fixedMany");
    for (const f of fixed) if (req.number(field("fixed"), f, { frequency: true }) !== null) rules.push("--fixed", f);
    countArguments(g, k, counted, fixed.length, req, rules);
    const spacing = g.spacing.trim();
    if (spacing !== "") {
      const s = req.number(field("spacing"), spacing);
      if (s !== null && s < 0.125) req.fail(field("spacing"), "spacingMin", null, spacing);
      else if (s !== null) rules.push("--spacing", spacing);
    }
    const guard = g.guard.trim();
    if (guard !== "" && req.number(field("guard"), guard, { allowZero: true }) !== null) rules.push("--guard", guard);
    for (const kind of ["3tx3", "2tx5"]) {
      const w = g["w" + kind].trim();
      if (w !== "" && req.number(field("w" + kind), w, { allowZero: true }) !== null) rules.push("--window", `${kind}=${w}`);
    }
    let spares = g.spares.trim();
    if (spares !== "" && (!/^[0-9]{1,2}$/.test(spares) || +spares > kMaxCarriers)) {
      req.fail(field("spares"), "sparesRange", null, spares);
    }
    spares = spares === "" ? "" : String(+spares);
    return { bands, rules, spares, spec: req.grouped ? groupSpec(g, k, spares, req) : null };
  }

  // --tv-edge and --exclude, which hold for every group.
  function requestArguments(req) {
    const out = [];
    const tvEdge = $("p-tvedge").value.trim();
    if (tvEdge !== "" && req.number("tvedge", tvEdge, { allowZero: true }) !== null) out.push("--tv-edge", tvEdge);
    for (const range of tokens($("p-exclude").value)) {
      const typed = reading.typedProblem(range);
      if (typed) { req.fail("exclude", typed[0], typed[1], range); continue; }
      const parts = reading.rangeParts(range);
      if (parts.length > 2) { req.fail("exclude", "rangeForm", null, range); continue; }
      const values = parts.map((p) => req.number("exclude", p, { frequency: true, token: range }));
      if (values.every((v) => v !== null)) {
        if (values.length === 2 && values[0] > values[1]) req.fail("exclude", "lowAboveHigh", null, range);
        else out.push("--exclude", parts.join(":"));
      }
    }
    return out;
  }

  // The form as zelmar-plan's arguments, or nothing when a field is wrong.
  // The plain form gives the arguments of a request without groups.
  function planArguments() {
    planErrors = {};
    showGroups();
    const req = {
      fail: (field, key, arg, token, row) => { if (!planErrors[field]) planErrors[field] = [key, arg, token, row]; },
      // The value read, or null with the field's refusal; `token` is the
      // text the refusal quotes (the whole range for one of its ends).
      number(field, text, { allowZero = false, frequency = false, token = text, row } = {}) {
        const r = reading.read(text, { allowZero, frequency });
        if (r.problem) req.fail(field, r.problem[0], r.problem[0] === "fullWidth" ? r.problem[2] : r.problem[1], token, row);
        return r.problem ? null : Number(r.value);
      },
      grouped: !plain(),
      several: groupCount() > 1,
      open: 0,
    };
    const list = groupValues();
    const groups = list.map((g, i) => groupArguments(g, i + 1, req));
    groupArgs = groups.map((g) => [...g.bands, ...g.rules]);
    list.forEach((g, i) => {
      if (list.findIndex((h) => h.name === g.name) < i) req.fail(stem(i + 1, "name"), "sameName", null, g.name);
    });
    const request = requestArguments(req);
    const args = ["--json"];
    if (req.grouped) {
      args.push(...request);
      for (const g of groups) args.push("--group", g.spec, ...g.bands, ...g.rules);
    } else {
      const [g] = groups;
      args.push(...g.bands, ...request, ...g.rules, ...(g.spares !== "" ? ["--spares", g.spares] : []));
    }
    const time = $("p-time").value.trim();
    if (time !== "" && req.number("time", time) !== null) args.push("--time-limit", time);
    renderPlanErrors();
    return Object.keys(planErrors).length ? null : args;
  }

  // The field a refusal of the planner is about, by the group and option it
  // names.
  function refusedField(message) {
    const named = (name, last) => {
      const names = groupValues().map((g) => g.name);
      return Math.max(1, (last ? names.lastIndexOf(name) : names.indexOf(name)) + 1);
    };
    let k = 1, m;
    if ((m = /^two groups are named '(.*)'$/.exec(message))) return stem(named(m[1], true), "name");
    if ((m = /^--group '([^,']*)/.exec(message))) return stem(named(m[1]), "name");
    if ((m = /^group '(.*?)': /.exec(message)) || (m = /^groups '.*?' and '(.*?)' both/.exec(message))) {
      k = named(m[1]);
    } else if ((m = /^(--[a-z0-9-]+) '([^']*)'/.exec(message))) {
      // The option reader names the option and its value, not the group.
      k = 1 + Math.max(0, groupArgs.findIndex((a) => a.some((arg, i) => arg === m[1] && a[i + 1] === m[2])));
    }
    const rules = [[/^the groups' /, "form"], [/--tv-edge/, "tvedge"], [/--count|--max|no count/, "count"],
      [/--band|--tv|band counts|bands with counts|channel/, "bands"], [/--spacing/, "spacing"],
      [/--guard|2tx3/, "guard"], [/3tx3/, "w3tx3"], [/2tx5/, "w2tx5"], [/--fixed|fixed carrier/, "fixed"],
      [/--exclude|exclusion/, "exclude"], [/--time-limit/, "time"], [/--spares/, "spares"]];
    const rule = rules.find(([pattern]) => pattern.test(message));
    const field = rule ? rule[1] : "form";
    return groupFields.includes(field) ? stem(k, field) : field;
  }

  function renderPlanErrors() {
    const stems = ["form", ...requestTexts];
    for (let k = 1; k <= groupCount(); k++) stems.push(...groupFields.map((field) => stem(k, field)));
    for (const field of stems) {
      const error = planErrors[field];
      const input = $("p-" + field);
      let text = "";
      if (error) {
        const [key, arg, token, row] = error;
        const t = T();
        const message = key === "number" ? t.number[arg] : key === "refusal" ? t.refusal(arg)
          : typeof t[key] === "function" ? t[key](arg) : t[key];
        const quoted = token === undefined || token === null ? ""
          : app.lang() === "ja" ? `「${token}」: ` : `“${token}” `;
        text = (row ? t.bandRow(row) : "") + quoted + message;
      }
      $("p-" + field + "-error").textContent = text;
      if (!input) continue;
      input.setAttribute("aria-invalid", error ? "true" : "false");
      if (error) input.setAttribute("aria-describedby", "p-" + field + "-error");
      else input.removeAttribute("aria-describedby");
    }
  }

  function loadGroup(state, k) {
    const key = (name) => stateKey(k, name);
    const g = { max: state.get(key("max")) === "1" };
    for (const field of groupTexts) g[field] = state.get(key(field)) || "";
    const [kinds, values, steps, counts] = ["bk", "bv", "bs", "bc"].map((b) => state.getAll(key(b)));
    g.bands = kinds.map((kind, i) => ({ kind: ["b", "tv", "range"].includes(kind) ? kind : "range",
      value: values[i], step: steps[i], count: counts[i] }));
    return g;
  }

  for (const field of requestTexts) $("p-" + field).addEventListener("input", () => app.saveState());
  setGroups([{}]);

  return {
    kMaxCarriers,
    args: planArguments,
    renderErrors: renderPlanErrors,
    groupCount,
    // The planner's refusal as codes (web/plan_refusal.h), worded beside
    // the field and band row it is about.
    refuseCodes(refusal) {
      if (refusal.what === "arguments") return this.refuse(refusal.text.replace(/^zelmar-plan: /, ""));
      const [field, row] = reading.refusalField(refusal, stem);
      planErrors = { [field]: ["refusal", refusal, null, row] };
      renderPlanErrors();
      $("p-" + field + "-error").scrollIntoView({ block: "center" });
    },
    // A refusal of the planner in its words, beside the field it is about.
    refuse(message) {
      planErrors = { [refusedField(message)]: ["tool", message] };
      renderPlanErrors();
    },
    setPlanned(value) { planned = value; },
    plannedOnLoad: () => plannedOnLoad,
    save(state) {
      state.set("rules", $("p-preset").value);
      if (planned) state.set("plan", "1");
      for (const field of requestTexts) {
        const value = $("p-" + field).value;
        if (value !== "") state.set(field, value);
      }
      groupValues().forEach((g, i) => {
        const key = (name) => stateKey(i + 1, name);
        for (const field of groupTexts) if (g[field] !== "" || (i > 0 && field === "name")) state.set(key(field), g[field]);
        for (const band of g.bands) {
          for (const part of ["kind", "value", "step", "count"]) state.append(key("b" + part[0]), band[part]);
        }
        if (g.max) state.set(key("max"), "1");
      });
    },
    load(state) {
      for (const field of requestTexts) $("p-" + field).value = state.get(field) || "";
      const list = [loadGroup(state, 1)];
      while (list.length < kMaxGroups && state.has(stateKey(list.length + 1, "name"))) {
        list.push(loadGroup(state, list.length + 1));
      }
      // Links made before the band rows: "bands" held ranges separated by spaces.
      for (const range of tokens(state.get("bands") || "")) list[0].bands.push({ kind: "range", value: range });
      setGroups(list);
      // A link holds its rules; a page opened afresh starts on the standard
      // set, and a link from before the presets shows the one it equals.
      plannedOnLoad = state.get("plan") === "1";
      const planKeys = [...state.keys()].some((key) => !["tab", "lang"].includes(key) && !/^f[0-9]+$/.test(key));
      if (state.has("rules")) $("p-preset").value = kPresets[state.get("rules")] ? state.get("rules") : "custom";
      else if (planKeys) $("p-preset").value = presetOfFields();
      else setPreset("standard");
    },
    presets: kPresets,
    // The request of a parsed show file (its scans' exclusions and plan are
    // not the form's): the form as `zelmar-plan --show` would plan it.
    fill(show) {
      $("p-tvedge").value = show.tv_edge === undefined ? "" : String(show.tv_edge);
      $("p-exclude").value = (show.excludes || []).map((range) => range.join(":")).join(" ");
      setGroups((show.groups || [{}]).map(groupOfShow));
      $("p-preset").value = presetOfFields();
      app.saveState();
    },
  };
}
