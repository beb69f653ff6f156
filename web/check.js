// The check tab: F1–F12, 計　算 and クリア as in the dialog, the result lines
// and the findings marked by kind.
function zelmarCheckTab(app) {
  "use strict";
  const { $, T } = app;
  const kSlots = 12;
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
    input.addEventListener("input", () => { $("paste-note").textContent = ""; app.saveState(); });
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
    app.saveState();
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
    if (!app.zelmar) await app.ready;
    try {
      lastCheck = app.zelmar.check(inputs.map((i) => i.value));
    } catch (error) {
      lastCheck = { failed: true };
    }
    if (!lastCheck.failed) lastCheck.fields.forEach((text, i) => { inputs[i].value = text; });
    renderCheck();
    app.saveState();
    app.timing.checkWork = performance.now() - started;
    requestAnimationFrame(() => { app.timing.check = performance.now() - started; });
  });
  $("clear").addEventListener("click", () => {
    inputs.forEach((i) => { i.value = ""; });
    lastCheck = null;
    pasteOver = 0;
    renderPasteNote();
    renderCheck();
    app.saveState();
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

  return {
    inputs,
    render() { renderPasteNote(); renderCheck(); },
    save(state) {
      inputs.forEach((input, i) => { if (input.value !== "") state.set("f" + (i + 1), input.value); });
    },
    load(state) {
      inputs.forEach((input, i) => { input.value = state.get("f" + (i + 1)) || ""; });
    },
  };
}
