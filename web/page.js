// The page: the module loaded once, the tabs, the language toggle and the
// state in the URL fragment, around the rooms of the check tab (check.js)
// and the plan tab (plan_form.js, plan_search.js). Every number the page
// shows comes from the WebAssembly module (core.js); nothing here computes
// frequencies.
(function () {
  "use strict";
  const $ = (id) => document.getElementById(id);
  const TEXTS = zelmarTexts();
  let lang = "ja";
  let tab = "check";
  let restoring = false;

  const core = zelmarCore();
  // What the rooms share: the module (once `ready`), the words of the
  // current language and the fragment. `timing` is a test and benchmark
  // hook: how long the last check and plan took from the user's action to
  // the shown result.
  const app = {
    $,
    T: () => TEXTS[lang],
    lang: () => lang,
    timing: {},
    zelmar: null,
    wasmBytes: null,
    saveState,
    selectTab,
  };
  app.ready = core.unpack($("zelmar-wasm").textContent.trim())
    .then((bytes) => { app.wasmBytes = bytes; return core.load(bytes); })
    .then((z) => { app.zelmar = z; });
  window.zelmarPage = { ready: app.ready, timing: app.timing };

  const check = zelmarCheckTab(app);
  const form = zelmarPlanForm(app);
  const picture = zelmarPlanPicture(app);
  // A new threshold moves the picture's line and shading at once; other
  // scans draw it again.
  const scans = zelmarScans(app, (filesChanged) => {
    if (filesChanged) picture.redrawWithScans(picture.shown() ? null : form.args(), scans.args(), scans.pairs());
    else picture.setScan(scans.parts(), scans.excluded());
  });
  const search = zelmarPlanSearch(app, form, check, scans, picture);
  const files = zelmarShowFiles(app, form, scans, picture, (show, args) => search.showSaved(show, args));
  const analysis = zelmarAnalysis(app, form, scans, picture);
  const rooms = [check, form];
  window.zelmarPage.picture = picture;
  window.zelmarPage.files = files;
  window.zelmarPage.form = form;  // fill(show) and groupCount(), for the tests

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
      element.textContent = app.T()[element.dataset.text];
    }
    $("tabs").setAttribute("aria-label", app.T().tabs);
    $("lang").textContent = app.T().other;
    $("lang").lang = lang === "ja" ? "en" : "ja";
    check.render();
    form.renderErrors();
    search.render();
    scans.render();
    picture.render();
    analysis.render();
  }
  $("lang").addEventListener("click", () => {
    lang = lang === "ja" ? "en" : "ja";
    applyLanguage();
    saveState();
  });

  // Fields, plan request, tab and language as "#key=value&...".
  function saveState() {
    if (restoring) return;
    const state = new URLSearchParams();
    if (tab !== "check") state.set("tab", tab);
    if (lang !== "ja") state.set("lang", lang);
    for (const room of rooms) room.save(state);
    const hash = state.toString();
    if (hash !== location.hash.slice(1)) history.replaceState(null, "", hash ? "#" + hash : location.pathname + location.search);
  }
  function loadState() {
    const state = new URLSearchParams(location.hash.slice(1));
    restoring = true;
    lang = state.get("lang") === "en" ? "en" : "ja";
    for (const room of rooms) room.load(state);
    selectTab(state.get("tab") === "plan" ? "plan" : "check");
    restoring = false;
    applyLanguage();
  }
  window.addEventListener("hashchange", loadState);
  loadState();
})();
