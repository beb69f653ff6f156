// The rig in hand: frequencies pasted in, checked by zelmar-plan --analyze
// under the form's groups and rules, each family's margin and every broken
// rule listed and drawn on the picture.
function zelmarAnalysis(app, form, scans, picture) {
  "use strict";
  const { $, T } = app;
  let answer = null;  // the analysis's JSON, or {refused: line}

  function analyze() {
    const rig = $("p-rig").value.split(/[\s;]+/).filter((t) => t !== "");
    const args = form.args();
    if (!args || !rig.length) return;
    const full = [...args, ...scans.args(), "--analyze", ...rig];
    const result = app.zelmar.plan([...full, "--", ...scans.pairs()], 0);
    if (result.status === 0 || result.status === 1) {
      answer = JSON.parse(result.text);
      picture.draw(full, [...picture.pairsOf(answer), ...scans.pairs()]);
    } else {
      answer = { refused: (result.errors || result.text).split("\n")[0].replace(/^zelmar-plan: /, "") };
    }
    render();
  }

  // One broken rule in the page's words, from the analysis's JSON.
  function violationText(v) {
    const t = T();
    if (v.kind === "spacing") return t.crowded(v.carriers[0], v.carriers[1], v.distance, v.least);
    if (v.kind === "signal") return `${v.carrier} MHz: ${t.picture.inSignal(v)}`;
    return t.hit(t.family[v.kind] || v.kind, v.carriers.join(", "), v.product, v.victim, v.distance, v.window);
  }

  function render() {
    const box = $("p-analysis-out");
    box.textContent = "";
    if (!answer) return;
    const say = (text, className) => {
      const p = document.createElement("p");
      p.textContent = text;
      if (className) p.className = className;
      box.append(p);
      return p;
    };
    if (answer.refused) { say(T().tool(answer.refused), "error"); return; }
    for (const [family, margin] of Object.entries(answer.margins)) {
      say(T().familyMargin(T().family[family] || family, margin), "margin");
    }
    say(answer.valid ? T().rigValid : T().rigBroken(answer.violations.length), answer.valid ? "" : "error");
    const list = document.createElement("ul");
    list.id = "p-violations";
    for (const v of answer.violations) {
      const item = document.createElement("li");
      item.textContent = violationText(v);
      list.append(item);
    }
    if (answer.violations.length) box.append(list);
    box.dataset.valid = String(answer.valid);
  }

  $("p-analyze").addEventListener("click", analyze);
  return { render, analyze };
}
