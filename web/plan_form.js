// The plan form: bands, counts, rules, fixed carriers and exclusions as
// zelmar-plan's arguments. Numbers are read by the planner's own reader in
// the module; the planner refuses what these light checks let through.
function zelmarPlanForm(app) {
  "use strict";
  const { $, T } = app;
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
      i.addEventListener("input", () => app.saveState());
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
      app.saveState();
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
    kind.addEventListener("change", () => { showKind(); app.saveState(); });
    showKind();
    $("p-band-rows").append(row);
    return row;
  }
  $("p-add-band").addEventListener("click", () => {
    addBandRow().querySelector("select").focus();
    app.saveState();
  });

  // The form as zelmar-plan's arguments, or nothing when a field is wrong;
  // numbers are read by the planner's own reader in the module. The
  // planner itself refuses what these light checks let through.
  function planArguments() {
    planErrors = {};
    const args = ["--json"];
    const fail = (field, key, arg, token) => { if (!planErrors[field]) planErrors[field] = [key, arg, token]; };
    const number = (field, text, allowZero) => {
      const r = app.zelmar.readMHz(text, allowZero);
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

  for (const field of textFields) planInput(field).addEventListener("input", () => app.saveState());
  $("p-max").addEventListener("change", () => app.saveState());

  return {
    kMaxCarriers,
    args: planArguments,
    renderErrors: renderPlanErrors,
    // A refusal of the planner goes beside the field it is about.
    refuse(message) {
      planErrors = { [refusedField(message)]: ["tool", message] };
      renderPlanErrors();
    },
    save(state) {
      for (const field of textFields) {
        const value = planInput(field).value;
        if (value !== "") state.set(field, value);
      }
      for (const band of bandRows()) {
        for (const key of ["kind", "value", "step", "count"]) state.append("b" + key[0], band[key]);
      }
      if ($("p-max").checked) state.set("max", "1");
    },
    load(state) {
      for (const field of textFields) planInput(field).value = state.get(field) || "";
      $("p-band-rows").textContent = "";
      const [kinds, values, steps, counts] = ["bk", "bv", "bs", "bc"].map((k) => state.getAll(k));
      kinds.forEach((kind, i) => addBandRow({ kind: ["b", "tv", "range"].includes(kind) ? kind : "range",
        value: values[i], step: steps[i], count: counts[i] }));
      // Links made before the band rows: "bands" held ranges separated by spaces.
      for (const range of tokens(state.get("bands") || "")) addBandRow({ kind: "range", value: range });
      $("p-max").checked = state.get("max") === "1";
    },
  };
}
