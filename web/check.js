// The check tab: F1–F12, 計　算 and クリア as in the dialog, the result lines
// and the findings marked by kind. Beside a field the check did not read
// whole, what it was read as and why; under each finding its product; a
// result under edited fields is marked as the last calculation's.
function zelmarCheckTab(app) {
  "use strict";
  const { $, T } = app;
  const kSlots = 12;
  const fieldsBox = $("fields");
  const inputs = [];
  const notes = [];
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
    input.addEventListener("input", () => { $("paste-note").textContent = ""; markStale(); app.saveState(); });
    const note = document.createElement("p");
    Object.assign(note, { id: "f" + k + "-note", className: "field-note" });
    box.append(label, input, note);
    fieldsBox.append(box);
    inputs.push(input);
    notes.push(note);
  }

  // A pasted list fills this field and the ones after it; a single value
  // pastes as usual.
  function onPaste(event, index) {
    const text = (event.clipboardData || window.clipboardData).getData("text");
    // Commas separate a list only where decimal points show that they are
    // not decimal commas themselves ("806,125" stays one text, and its note
    // says how the check reads it).
    const separators = /\./.test(text) ? /[\s,;、，]+/ : /[\s;、]+/;
    const values = text.split(separators).filter((v) => v !== "");
    if (values.length < 2) return;
    event.preventDefault();
    values.slice(0, kSlots - index).forEach((v, i) => { inputs[index + i].value = v; });
    const over = values.length - (kSlots - index);
    pasteOver = over > 0 ? over : 0;
    renderPasteNote();
    markStale();
    app.saveState();
  }
  let pasteOver = 0;
  function renderPasteNote() {
    $("paste-note").textContent = pasteOver ? T().pasteOver(pasteOver) : "";
  }

  let lastCheck = null;
  // The module's readings of the texts as they were when 計　算 was pressed.
  let readings = null;
  let checkedTexts = [];
  let stale = false;
  let pressedAt = null;
  $("check-form").addEventListener("keydown", (e) => {
    if (e.key === "Enter") pressedAt = e.timeStamp;
  });
  $("check-form").addEventListener("submit", async (e) => {
    e.preventDefault();
    const started = pressedAt !== null ? pressedAt : performance.now();
    pressedAt = null;
    if (!app.zelmar) await app.ready;
    checkedTexts = inputs.map((i) => i.value);
    stale = false;
    try {
      lastCheck = app.zelmar.check(checkedTexts);
      readings = app.zelmar.checkReadings(checkedTexts);
    } catch (error) {
      lastCheck = { failed: true };
      readings = null;
    }
    if (!lastCheck.failed) lastCheck.fields.forEach((text, i) => { inputs[i].value = text; });
    renderCheck();
    app.saveState();
    app.timing.checkWork = performance.now() - started;
    requestAnimationFrame(() => { app.timing.check = performance.now() - started; });
  });
  $("clear").addEventListener("click", () => {
    inputs.forEach((i) => { i.value = ""; });
    lastCheck = readings = null;
    stale = false;
    pasteOver = 0;
    renderPasteNote();
    renderCheck();
    app.saveState();
    inputs[0].focus();
  });

  function markStale() {
    if (!lastCheck || stale) return;
    stale = true;
    renderStale();
  }
  function renderStale() {
    $("check-stale").textContent = stale ? T().checkStale : "";
    for (const id of ["result", "findings", "fields"]) $(id).classList.toggle("stale", stale);
  }

  // Full-width forms (U+FF01–FF5E) and the ideographic space, as the ASCII
  // a person meant to type.
  const kWide = /[\uFF01-\uFF5E\u3000]/;
  const asAscii = (text) => text.replace(/[\uFF01-\uFF5E]/g, (c) => String.fromCharCode(c.charCodeAt(0) - 0xFEE0))
    .replace(/\u3000/g, " ").trim();

  // What to say of one text as the check read it: "" when it was read whole
  // (white space after it is no loss) as a frequency a microphone may use.
  function fieldNote(text, reading) {
    const t = T();
    const parts = [];
    const unread = reading.rest.trim() !== "";
    const wide = unread && kWide.test(reading.rest);
    if (unread && !(wide && reading.empty)) parts.push(reading.empty ? t.readNothing(text) : t.readAs(text, reading.value));
    if (!unread && reading.range) parts.push(t.readAs(text, reading.value));
    if (wide) parts.push(t.readWide(asAscii(text)));
    else if (unread && /^[,、][0-9]/.test(reading.rest)) parts.push(t.readComma);
    else if (unread && !reading.empty) parts.push(t.readStop(/^\s/.test(reading.rest) ? null : [...reading.rest][0]));
    if (reading.range === "high") parts.push(reading.khz ? t.readKhz(reading.khz) : t.readHigh);
    if (reading.range === "negative") parts.push(t.readNegative);
    return parts.join(app.lang() === "ja" ? "" : " ");
  }

  // Each note goes beside the field its value is shown in after the check.
  function renderNotes() {
    notes.forEach((note) => { note.textContent = ""; });
    if (readings) {
      readings.fields.forEach((reading, i) => {
        if (checkedTexts[i]) notes[reading.slot - 1].textContent = fieldNote(checkedTexts[i], reading);
      });
    }
    notes.forEach((note, i) => {
      if (note.textContent) inputs[i].setAttribute("aria-describedby", note.id);
      else inputs[i].removeAttribute("aria-describedby");
    });
  }

  function renderCheck() {
    renderNotes();
    renderStale();
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
      // Its frequencies and product, the module's texts.
      const product = document.createElement("span");
      product.className = "product";
      product.textContent = readings.findings[i].line;
      const body = document.createElement("div");
      body.append(line, product);
      item.append(badge, body);
      list.append(item);
    });
  }

  return {
    inputs,
    render() { renderPasteNote(); renderCheck(); },
    save(state) {
      inputs.forEach((input, i) => { if (input.value !== "") state.set("f" + (i + 1), input.value); });
    },
    load(state) {
      inputs.forEach((input, i) => { input.value = state.get("f" + (i + 1)) || ""; });
      markStale();
    },
  };
}
