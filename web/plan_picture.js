// The plan tab's picture: the request's air and the shown plan (or rig),
// drawn by picture.js from the data the module makes for zelmar-plan's
// arguments and the plan's carriers.
function zelmarPlanPicture(app) {
  "use strict";
  const { $, T } = app;
  let view = null;
  let shown = null;  // {args, pairs, data}: what the picture shows

  // The module's pairs (web/page_request.h) for an answer of zelmar-plan
  // --json: a plan's "plan", an analysis's "carriers", with their groups'
  // names, and the spares.
  function pairsOf(outcome) {
    const carriers = outcome.plan || outcome.carriers || [];
    const pairs = carriers.flatMap((f, i) => ["carrier", `${f}@${outcome.groups ? outcome.groups[i] : ""}`]);
    for (const s of outcome.spares || []) pairs.push("spare", `${s.frequency}@${s.group}`);
    if (outcome.proven) pairs.push("proven", "1");
    return pairs;
  }

  // Draws what the module makes of `args` and `pairs`; false when it
  // refuses them (the picture then stays as it was).
  function draw(args, pairs) {
    if (!view) view = zelmarPicture().create($("p-picture"), T().picture);
    const started = performance.now();
    const answer = app.zelmar.picture([...args, "--", ...pairs]);
    if (answer.status !== 0) return false;
    const data = JSON.parse(answer.text);
    if (data.scan) data.scan.trace = answer.trace;
    wordProducts(data);
    view.show(data);
    shown = { args, pairs, data };
    app.timing.picture = performance.now() - started;
    return true;
  }

  // The shown picture again with other scans (`scanArgs`, `scanPairs`): the
  // same request and carriers, or `fallback` (the form's arguments) before
  // anything was shown.
  function redrawWithScans(fallback, scanArgs, scanPairs) {
    const args = [], pairs = [];
    const from = shown ? shown.args : fallback || [];
    for (let i = 0; i < from.length; i++) {
      if (["--scan", "--scan-threshold", "--scan-unit"].includes(from[i])) i++;
      else args.push(from[i]);
    }
    for (let i = 0; shown && i + 1 < shown.pairs.length; i += 2) {
      if (shown.pairs[i] !== "scan-exclude") pairs.push(shown.pairs[i], shown.pairs[i + 1]);
    }
    if (!draw([...args, ...scanArgs], [...pairs, ...scanPairs])) draw([...args, ...scanArgs], scanPairs);
  }

  // Each product's line in the page's language, from the module's texts.
  function wordProducts(data) {
    for (const p of data.products) {
      const victim = data.carriers[p.victim].text;
      p.text = T().productLine(p.expression.replace(/\*/g, "×").replace(/ - /g, " − "), p.value_text, victim, p.distance);
    }
  }

  return {
    pairsOf,
    redrawWithScans,
    draw,
    shown: () => shown,
    setScan(parts, excludes) { if (view && shown && shown.data.scan) view.setScan(parts, excludes); },
    render() {
      if (!view) return;
      view.setTexts(T().picture);
      if (shown) {
        wordProducts(shown.data);
        view.show(shown.data);
      }
    },
    view: () => view,
  };
}
