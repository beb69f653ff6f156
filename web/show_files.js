// The show file, the crew's sheet and the print: saved and opened in the
// same format as zelmar-plan --save / --show / --csv (the module writes and
// reads them), downloaded and picked in the page, never uploaded.
function zelmarShowFiles(app, form, scans, picture, onShow) {
  "use strict";
  const { $, T } = app;
  const kShowName = "show.json";

  // What is saved: the shown plan with the arguments that planned it, or
  // else the form's request alone.
  function request() {
    const shown = picture.shown();
    if (shown && shown.pairs.some((p) => p === "carrier")) return [...shown.args, "--", ...shown.pairs];
    const args = form.args();
    return args && [...args, ...scans.args(), "--", ...scans.pairs()];
  }

  function download(name, text, type) {
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([text], { type }));
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  }

  function save(kind) {
    const args = request();
    if (!args) return;
    const answer = kind === "show" ? app.zelmar.showFile(args) : app.zelmar.sheet(args);
    say(answer.status === 0 ? "" : answer.text.replace(/^zelmar-plan: /, ""));
    if (answer.status !== 0) return;
    app.lastSaved = answer.text;
    if (kind === "show") download("zelmar-show.json", answer.text, "application/json");
    else download("zelmar-sheet.csv", answer.text, "text/csv");
  }

  // A show file's text: read by the module (which refuses what zelmar-plan
  // refuses), then its request put into the form and its plan shown.
  function open(text) {
    app.zelmar.putFile(kShowName, text);
    const answer = app.zelmar.picture(["--show", kShowName]);
    if (answer.status !== 0) {
      say(T().showRefused(answer.text.replace(/^zelmar-plan: /, "")));
      return false;
    }
    say("");
    const show = JSON.parse(text.replace(/^\uFEFF/, ""));
    form.fill(show);
    scans.fromShow(show);
    onShow(show, ["--json", "--show", kShowName]);
    app.saveState();
    return true;
  }

  function say(text) { $("p-files-error").textContent = text; }

  $("p-save-show").addEventListener("click", () => save("show"));
  $("p-save-csv").addEventListener("click", () => save("csv"));
  $("p-print").addEventListener("click", () => window.print());
  $("p-open-pick").addEventListener("click", () => $("p-open-file").click());
  $("p-open-file").addEventListener("change", async (e) => {
    const file = e.target.files[0];
    e.target.value = "";
    if (file) open(await file.text());
  });

  // Files dropped anywhere on the page: shows are opened, the rest are
  // taken as scans.
  document.addEventListener("dragover", (e) => { e.preventDefault(); });
  document.addEventListener("drop", async (e) => {
    e.preventDefault();
    const dropped = [...(e.dataTransfer ? e.dataTransfer.files : [])];
    const rest = [];
    for (const file of dropped) {
      const head = await file.slice(0, 200).text();
      if (/^\uFEFF?\s*\{[\s\S]*"format"\s*:\s*"zelmar-show"/.test(head)) open(await file.text());
      else rest.push(file);
    }
    if (rest.length) {
      app.selectTab("plan");
      await scans.add(rest);
    }
  });

  // The print: the picture and a table of the shown carriers.
  function fillPrintTable() {
    const body = $("p-print-table").tBodies[0];
    body.textContent = "";
    const shown = picture.shown();
    $("p-print-table").hidden = !shown || !shown.data.carriers.length;
    if (!shown) return;
    for (const c of shown.data.carriers) {
      const row = body.insertRow();
      for (const text of [c.label, shown.data.groups[c.group].name, c.text, c.band]) {
        row.insertCell().textContent = text;
      }
    }
  }
  window.addEventListener("beforeprint", fillPrintTable);

  return { open, save, fillPrintTable };
}
