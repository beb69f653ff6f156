// The plan form's device groups as the page shows them: a section per
// group (name, label, distance, bands, count, rules, fixed carriers,
// spares) with its band rows, and a show file's groups as the form's values.
// Ids as plan_form.js describes them.
function zelmarPlanGroups(app, form) {
  "use strict";
  const { T } = app;
  const { stem } = form;

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
      line.querySelector("input").addEventListener("change", () => form.showGroups());
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
      remove.addEventListener("click", () => form.removeGroup(k));
      const line = el("div", { className: "buttons wide" });
      line.append(remove);
      body.append(line);
    }
    return section;
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

  return { bandRows, addBandRow, buildGroup, groupOfShow };
}
