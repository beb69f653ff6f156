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
  const tokens = (text) => text.split(/[\s,、，]+/).filter((t) => t !== "");
  let planErrors = {};  // stem: [text key, argument, token]
  let groupArgs = [];   // each group's own arguments, as last asked for

  // An element, with its words when `text` names them.
  const el = (tag, props = {}, text) => {
    const e = Object.assign(document.createElement(tag), props);
    if (text) {
      e.dataset.text = text;
      e.textContent = T()[text];
    }
    return e;
  };
  const errorLine = (id) => {
    const line = el("p", { className: "error", id: id + "-error" });
    line.setAttribute("role", "alert");
    return line;
  };

  // The bands of one group, one row each: a kind (the B band, TV channels,
  // a range), its value, a step for TV channels and an optional count.
  let bandSerial = 0;
  const bandRows = (container) => [...container.children].map((row) => ({
    kind: row.querySelector("select").value,
    value: row.querySelector(".band-value").value.trim(),
    step: row.querySelector(".band-step").value.trim(),
    count: row.querySelector(".band-count").value.trim(),
  }));
  function addBandRow(container, band = { kind: "b" }) {
    const n = ++bandSerial;
    const row = el("div", { className: "band-row" });
    const part = (text, control, className) => {
      const box = el("span", { className: "band-part part-" + className });
      control.id = `p-band-${className}-${n}`;
      box.append(el("label", { htmlFor: control.id }, text), control);
      row.append(box);
      return box;
    };
    const kind = el("select");
    for (const [value, text] of [["b", "kindB"], ["tv", "kindTv"], ["range", "kindRange"]]) {
      const option = new Option(T()[text], value);
      option.dataset.text = text;
      kind.append(option);
    }
    kind.value = band.kind;
    part("bandKind", kind, "kind");
    const input = (value, className, mode) => {
      const i = el("input", { className, value: value || "", autocomplete: "off", spellcheck: false });
      i.setAttribute("inputmode", mode);
      i.addEventListener("input", () => app.saveState());
      return i;
    };
    const valueBox = part("bandRange", input(band.value, "band-value", "text"), "value");
    const stepBox = part("bandStep", input(band.step, "band-step", "decimal"), "step");
    part("bandCount", input(band.count, "band-count", "numeric"), "count");
    const remove = el("button", { type: "button" }, "removeBand");
    remove.addEventListener("click", () => {
      const next = row.nextElementSibling || row.previousElementSibling;
      row.remove();
      app.saveState();
      (next ? next.querySelector("select") : container.parentElement.querySelector(".add-band")).focus();
    });
    row.append(remove);
    const showKind = () => {
      valueBox.hidden = kind.value === "b";
      stepBox.hidden = kind.value !== "tv";
      const label = valueBox.querySelector("label");
      label.dataset.text = kind.value === "tv" ? "bandChannels" : "bandRange";
      label.textContent = T()[label.dataset.text];
    };
    kind.addEventListener("change", () => { showKind(); app.saveState(); });
    showKind();
    container.append(row);
    return row;
  }

  // Group k's section: its name, label and distance (group 1's only shown
  // beside other groups or once named), bands, count, rules, fixed carriers
  // and spares. The hints are group 1's alone, to keep phones short.
  function buildGroup(k) {
    const id = (field) => "p-" + stem(k, field);
    const hint = (text) => (k === 1 ? [el("p", { className: "hint" }, text)] : []);
    const section = el("fieldset", { className: "group", id: id("group") });
    const legend = el("legend");
    legend.append(el("span", {}, "group"), ` ${k}`);
    const body = el("div", { className: "group-body" });
    section.append(legend, body);
    const row = (field, text, mode, props = {}, after = []) => {
      const input = el("input", { id: id(field), autocomplete: "off", ...props });
      input.setAttribute("inputmode", mode);
      input.addEventListener("input", () => app.saveState());
      const line = el("div", { className: "row" });
      line.append(el("label", { htmlFor: input.id }, text), input, ...after, errorLine(id(field)));
      body.append(line);
      return line;
    };
    // A lone group whose name and label are cleared goes back to the plain
    // form once the field is left (not while typing, which would hide it).
    for (const [field, text] of [["name", "groupName"], ["label", "groupLabel"]]) {
      const line = row(field, text, "text", { spellcheck: false });
      line.classList.add("group-id");
      line.querySelector("input").addEventListener("change", showGroups);
    }
    row("apart", "groupApart", "decimal", { placeholder: "0" }).classList.add("group-id");
    const bands = el("fieldset", { className: "row wide", id: id("bands") });
    const rows = el("div", { className: "band-rows", id: id("band-rows") });
    const add = el("button", { type: "button", className: "add-band", id: id("add-band") }, "addBand");
    add.addEventListener("click", () => {
      addBandRow(rows).querySelector("select").focus();
      app.saveState();
    });
    bands.append(el("legend", {}, "bands"), rows, add, ...hint("bandsHint"), errorLine(id("bands")));
    body.append(bands);
    const max = el("input", { type: "checkbox", id: id("max") });
    max.addEventListener("change", () => app.saveState());
    const maxLabel = el("label", { className: "check" });
    maxLabel.append(max, " ", el("span", {}, "max"));
    row("count", "count", "numeric", { size: 3 }, [maxLabel, ...hint("countHint")]);
    row("spacing", "spacing", "decimal", { placeholder: "0.125" });
    row("guard", "guard", "decimal", { placeholder: "0" });
    row("w3tx3", "w3tx3", "decimal");
    row("w2tx5", "w2tx5", "decimal", {}, hint("windowHint"));
    row("fixed", "fixed", "decimal");
    row("spares", "spares", "numeric", { size: 3, placeholder: "0" });
    if (k > 1) {
      const remove = el("button", { type: "button", id: id("remove") }, "removeGroup");
      remove.addEventListener("click", () => removeGroup(k));
      const line = el("div", { className: "buttons wide" });
      line.append(remove);
      body.append(line);
    }
    return section;
  }

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
    showGroups();
    groupInput(k, "name").focus();
    app.saveState();
  });

  // A group's bands as --band and --tv; the number of bands with a count.
  function bandArguments(rows, field, req, out) {
    const counted = rows.filter((b) => b.count !== "").length;
    if (counted > 0 && counted < rows.length) req.fail(field, "bandCountAll");
    for (const band of rows) {
      let text = band.kind === "b" ? "b" : band.value;
      if (band.kind === "range") {
        const parts = band.value.split(":");
        if (parts.length < 2 || parts.length > 3) { req.fail(field, "bandForm", null, band.value); continue; }
        const values = parts.map((p) => req.number(field, p, false));
        if (values.every((v) => v !== null) && values[0] > values[1]) req.fail(field, "lowAboveHigh", null, band.value);
      } else if (band.kind === "tv") {
        text = tokens(band.value).join(",");
        if (!/^[0-9]+(-[0-9]+)?(,[0-9]+(-[0-9]+)?)*$/.test(text)) req.fail(field, "tvForm", null, band.value);
        if (band.step !== "" && req.number(field, band.step, false) !== null) text += ":" + band.step;
      }
      if (band.count !== "" && (!/^[0-9]{1,2}$/.test(band.count) || +band.count < 1 || +band.count > kMaxCarriers)) {
        req.fail(field, "bandCountRange", null, band.count);
      }
      if (band.count !== "") text += "=" + +band.count;
      out.push(band.kind === "tv" ? "--tv" : "--band", text);
    }
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
    if (apart !== "" && req.number(field("apart"), apart, true) !== null) spec += ",apart=" + apart;
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
    for (const f of fixed) if (req.number(field("fixed"), f, false) !== null) rules.push("--fixed", f);
    countArguments(g, k, counted, fixed.length, req, rules);
    const spacing = g.spacing.trim();
    if (spacing !== "") {
      const s = req.number(field("spacing"), spacing, false);
      if (s !== null && s < 0.125) req.fail(field("spacing"), "spacingMin", null, spacing);
      else if (s !== null) rules.push("--spacing", spacing);
    }
    const guard = g.guard.trim();
    if (guard !== "" && req.number(field("guard"), guard, true) !== null) rules.push("--guard", guard);
    for (const kind of ["3tx3", "2tx5"]) {
      const w = g["w" + kind].trim();
      if (w !== "" && req.number(field("w" + kind), w, true) !== null) rules.push("--window", `${kind}=${w}`);
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
    if (tvEdge !== "" && req.number("tvedge", tvEdge, true) !== null) out.push("--tv-edge", tvEdge);
    for (const range of tokens($("p-exclude").value)) {
      const parts = range.split(":");
      if (parts.length > 2) { req.fail("exclude", "rangeForm", null, range); continue; }
      const values = parts.map((p) => req.number("exclude", p, false));
      if (values.every((v) => v !== null)) {
        if (values.length === 2 && values[0] > values[1]) req.fail("exclude", "lowAboveHigh", null, range);
        else out.push("--exclude", range);
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
      fail: (field, key, arg, token) => { if (!planErrors[field]) planErrors[field] = [key, arg, token]; },
      number(field, text, allowZero) {
        const r = app.zelmar.readMHz(text, allowZero);
        if (r.error) req.fail(field, "number", r.error, text);
        return r.error ? null : Number(r.text);
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
    if (time !== "" && req.number("time", time, false) !== null) args.push("--time-limit", time);
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
        const [key, arg, token] = error;
        const message = typeof T()[key] === "function" ? T()[key](arg)
          : key === "number" ? T().number[arg] : T()[key];
        const quoted = app.lang() === "ja" ? `「${token}」: ` : `“${token}” `;
        text = token !== undefined && token !== null ? quoted + message : message;
      }
      $("p-" + field + "-error").textContent = text;
      if (!input) continue;
      input.setAttribute("aria-invalid", error ? "true" : "false");
      if (error) input.setAttribute("aria-describedby", "p-" + field + "-error");
      else input.removeAttribute("aria-describedby");
    }
  }

  // A band of a show file as a row; a range keeps its name where that reads
  // as the same band, since the answers name the band by it.
  function bandOfShow(b) {
    const count = b.count === undefined ? "" : String(b.count);
    if (b.b) return { kind: "b", count };
    if (b.tv) return { kind: "tv", value: b.tv.join(","), step: b.step || "", count };
    const step = b.step || "0.125";
    const parts = String(b.name || "").split(":");
    const read = (text) => app.zelmar.readMHz(text, false);
    const same = app.zelmar !== null && parts.length >= 2 && parts.length <= 3 && [b.low, b.high, step].every((want, i) => {
      const [typed, wanted] = [read(parts[i] || "0.125"), read(want)];
      return !typed.error && !wanted.error && typed.text === wanted.text;
    });
    return { kind: "range", value: same ? b.name : `${b.low}:${b.high}:${step}`, count };
  }
  // A group of a show file as the form's values, its texts as written. A
  // label that is the name stays empty, as the name is its default.
  function groupOfShow(g) {
    const text = (v) => (v === undefined || v === null ? "" : String(v));
    const windows = g.windows || {};
    const bands = (g.bands || []).map(bandOfShow);
    const counted = bands.length > 0 && bands.every((b) => b.count !== "");
    return {
      name: text(g.name), label: g.label === g.name ? "" : text(g.label),
      apart: g.name ? text(g.apart) : "", spares: g.spares ? String(g.spares) : "",
      count: g.max || counted ? "" : text(g.count), max: !!g.max,
      spacing: text(g.spacing), guard: text(windows["2tx3"]), w3tx3: text(windows["3tx3"]),
      w2tx5: text(windows["2tx5"]), fixed: (g.fixed || []).join(" "), bands,
    };
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
    // A refusal of the planner goes beside the field it is about.
    refuse(message) {
      planErrors = { [refusedField(message)]: ["tool", message] };
      renderPlanErrors();
    },
    save(state) {
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
    },
    // The request of a parsed show file (its scans' exclusions and plan are
    // not the form's): the form as `zelmar-plan --show` would plan it.
    fill(show) {
      $("p-tvedge").value = show.tv_edge === undefined ? "" : String(show.tv_edge);
      $("p-exclude").value = (show.excludes || []).map((range) => range.join(":")).join(" ");
      setGroups((show.groups || [{}]).map(groupOfShow));
      app.saveState();
    },
  };
}
