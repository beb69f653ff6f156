// The plan tab's search: the worker that runs zelmar-plan's search off the
// page's thread, its progress, the outcome and what can be done with it.
function zelmarPlanSearch(app, form, check, scans, picture) {
  "use strict";
  const { $, T } = app;
  const kProgressMs = 100;
  const kSlots = check.inputs.length;
  const inputs = check.inputs;
  const workerUrl = URL.createObjectURL(new Blob(
    [`(${zelmarWorker})((${zelmarCore})());`], { type: "text/javascript" }));
  let worker = null;
  let search = null;  // the running search: {started, limit, progress, args}
  let planShown = null;  // what the outcome area shows: {kind, ...}
  function startWorker() {
    worker = new Worker(workerUrl);
    worker.onmessage = (event) => onWorkerMessage(event.data);
    worker.postMessage({ bytes: app.wasmBytes });
  }
  app.ready.then(startWorker);

  function onWorkerMessage(message) {
    if (!search) return;
    if (message.progress) {
      search.progress = message.progress;
      renderProgress();
    } else if (message.done) {
      const { status, text, errors } = message.done;
      const { started, args, warnings } = search;
      search = null;
      const lines = (errors || "").split("\n").filter((l) => l !== "").map((l) => l.replace(/^zelmar-plan: /, ""));
      if (status === 0 || status === 1) {
        // The planner's warnings were read as codes before the search.
        planShown = { kind: "outcome", outcome: JSON.parse(text), warnings };
        drawOutcome(planShown.outcome, args);
      } else if (status === 2 && lines.length) {
        // A refusal goes beside the field it is about.
        planShown = { kind: "refused" };
        form.refuse(lines[0]);
      } else {
        planShown = { kind: "failed" };
      }
      renderPlan();
      showOutcome();
      requestAnimationFrame(() => { app.timing.plan = performance.now() - started; });
    }
  }

  $("plan-form").addEventListener("submit", async (e) => {
    e.preventDefault();
    if (search) return;
    const started = performance.now();
    if (!app.zelmar) await app.ready;
    const formArgs = form.args();
    app.saveState();
    if (!formArgs) return;
    // What the planner would refuse is said beside its field at once, in
    // the page's words.
    const refusal = app.zelmar.planRefusal(formArgs);
    if (refusal.what !== "none") {
      planShown = { kind: "refused" };
      form.refuseCodes(refusal);
      renderPlan();
      return;
    }
    const args = [...formArgs, ...scans.args()];
    const limit = $("p-time").value.trim() || "10";
    search = { started, limit, limitMs: Number(limit) * 1000, progress: null, args, warnings: refusal.warnings };
    planShown = null;
    worker.postMessage({ args: [...args, "--", ...scans.pairs()], files: scans.files(), intervalMs: kProgressMs });
    renderPlan();
  });

  // A worker busy in a search cannot be asked to stop: it is ended, and the
  // answer its last progress carried for the best plan so far is shown.
  $("p-stop").addEventListener("click", () => {
    if (!search) return;
    worker.terminate();
    const { progress, args } = search;
    search = null;
    planShown = { kind: "stopped", outcome: progress && progress.best };
    if (planShown.outcome) drawOutcome(planShown.outcome, args);
    renderPlan();
    startWorker();
    $("p-start").focus();
  });

  // An outcome: kept in the link (a link brings it back by searching
  // again), and on a phone, where it appears below the screen, scrolled to.
  function showOutcome() {
    form.setPlanned(planShown && planShown.kind === "outcome");
    app.saveState();
    if (window.matchMedia("(max-width: 700px)").matches) $("p-outcome").scrollIntoView({ block: "start" });
  }
  app.ready.then(() => { if (form.plannedOnLoad()) $("plan-form").requestSubmit(); });

  // The picture of a plan and the arguments that planned it.
  // Without a plan, the request's air alone.
  function drawOutcome(outcome, args) {
    picture.draw(args, [...(outcome.plan ? picture.pairsOf(outcome) : []), ...scans.pairs()]);
  }

  // A show opened: its saved plan shown as the outcome, as it was saved.
  function showSaved(show, args) {
    const saved = show.plan;
    if (!saved) {
      planShown = null;
      picture.draw(args, scans.pairs());
      renderPlan();
      return;
    }
    const carriers = saved.carriers.filter((c) => !c.spare);
    const outcome = {
      count: carriers.length, plan: carriers.map((c) => c.frequency), bands: carriers.map((c) => c.band),
      groups: carriers.map((c) => c.group), labels: carriers.map((c) => c.label), margins: saved.margins,
      proven: saved.proven,
      spares: saved.carriers.filter((c) => c.spare).map((c) => ({ frequency: c.frequency, group: c.group })),
    };
    planShown = { kind: "show", outcome };
    picture.draw(args, [...picture.pairsOf(outcome), ...scans.pairs()]);
    renderPlan();
  }

  // Progress for the person waiting: the time spent against the limit, the
  // best plan so far with each checked family's least distance, and the
  // bound on it only where the bands are narrow enough for it to tell.
  function renderProgress() {
    const box = $("p-progress");
    box.textContent = "";
    if (!search) return;
    const p = search.progress;
    const t = T();
    const line = (text, className) => {
      const e = document.createElement("p");
      e.textContent = text;
      if (className) e.className = className;
      box.append(e);
    };
    if (!p) { line(t.starting); return; }
    const bar = document.createElement("progress");
    bar.id = "p-progress-bar";
    bar.max = search.limitMs;
    bar.value = Math.min(p.ms, search.limitMs);
    bar.setAttribute("aria-label", t.elapsed);
    box.append(bar);
    line(t.searchingFor(p.carriers, (p.ms / 1000).toFixed(1), search.limit));
    const best = p.best && p.best.plan ? p.best : null;
    if (!best) line(t.noPlanYet);
    else for (const [family, margin] of Object.entries(best.margins)) line(t.familyMargin(t.family[family] || family, margin), "so-far");
    if (p.narrow && p.bound !== null) line(t.boundNarrow(p.bound));
    if (best) box.append(planList(best.plan, "p-progress-plan"));
  }

  function planList(plan, id = "p-plan", bands = [], labels = [], signals = []) {
    const list = document.createElement("ol");
    list.className = "plan";
    list.id = id;
    plan.forEach((f, i) => {
      const item = document.createElement("li");
      if (labels[i]) {
        const label = document.createElement("span");
        label.className = "label";
        label.textContent = labels[i];
        item.append(label);
      }
      const frequency = document.createElement("span");
      frequency.className = "f";
      frequency.textContent = f;
      item.append(frequency);
      if (bands[i]) {
        const band = document.createElement("span");
        band.className = "band";
        band.textContent = bandName(bands[i]);
        item.append(band);
      }
      if (signals[i]) {
        const signal = document.createElement("span");
        signal.className = "signal";
        signal.textContent = T().picture.inSignal(signals[i]);
        item.append(signal);
      }
      list.append(item);
    });
    return list;
  }

  // The planner's band names ("B ch 1", "TV ch 21", "band 470:480", "fixed")
  // in the page's language.
  function bandName(name) {
    const names = T().bandName;
    let m;
    if ((m = /^B ch ([0-9]+)$/.exec(name))) return names.b(m[1]);
    if ((m = /^TV ch ([0-9]+)$/.exec(name))) return names.tv(m[1]);
    if ((m = /^band (.*)$/.exec(name))) return names.band(m[1]);
    return name === "fixed" ? names.fixed : name;
  }

  function shownPlan() {
    return planShown && planShown.outcome ? planShown.outcome.plan : [];
  }

  function renderPlan() {
    $("p-start").disabled = !!search;
    $("p-stop").disabled = !search;
    renderProgress();
    const box = $("p-outcome");
    box.textContent = "";
    const say = (text, className) => {
      const p = document.createElement("p");
      p.textContent = text;
      if (className) p.className = className;
      box.append(p);
    };
    const s = planShown;
    if (s && s.outcome && s.outcome.count > 0) {
      say(T().planOf(s.outcome.count));
      const signals = s.outcome.in_signal || [];
      box.append(planList(s.outcome.plan, "p-plan", s.outcome.bands, s.outcome.labels, signals));
      const inSignal = signals.filter(Boolean).length;
      if (inSignal) say(T().notLowRisk(inSignal), "error");
      for (const [family, margin] of Object.entries(s.outcome.margins)) {
        say(T().familyMargin(T().family[family] || family, margin), "margin");
      }
      say(s.kind === "stopped" ? T().stopped : s.outcome.proven ? T().proven : T().unproven);
      const possible = s.outcome.possible;
      if (s.kind !== "stopped" && !s.outcome.proven && possible) {
        const headroom = "headroom" in possible;
        const figure = headroom ? possible.headroom : possible.margin;
        const own = headroom ? (s.outcome.headroom || {})["2tx3"] : s.outcome.margin;
        if (possible.carriers !== null || figure !== null) {
          const name = T().family["2tx3"] || "2tx3";
          say(T().ruledOut(possible.carriers, figure, name, headroom, figure !== null && figure === own), "bound");
        }
      }
    } else if (s && s.kind === "outcome" && s.outcome.broken) {
      say(T().broken(s.outcome.broken), "error");
    } else if (s && s.kind === "outcome") {
      say(T().none(s.outcome.largest), "error");
    } else if (s && s.kind === "stopped") {
      say(T().stoppedNone);
    } else if (s && s.kind === "failed") {
      say(T().failed, "error");
    }
    // Warnings of the planner (a fixed carrier inside an exclusion).
    if (s && s.warnings) s.warnings.forEach((w) => say(T().refusal(w), "note"));
    box.dataset.state = s ? s.kind : search ? "searching" : "";
    const count = shownPlan().length;
    $("p-actions").hidden = count === 0;
    $("p-to-check").disabled = count > kSlots;
    $("p-too-many").textContent = count > kSlots ? T().tooMany(count) : "";
  }

  $("p-copy").addEventListener("click", async () => {
    const text = shownPlan().join("\n") + "\n";
    try {
      await navigator.clipboard.writeText(text);
    } catch (error) {
      const area = document.createElement("textarea");
      area.value = text;
      document.body.append(area);
      area.select();
      document.execCommand("copy");
      area.remove();
    }
    const note = document.createElement("p");
    note.className = "note";
    note.setAttribute("role", "status");
    note.textContent = T().copied;
    $("p-outcome").append(note);
  });
  $("p-to-check").addEventListener("click", () => {
    const plan = shownPlan();
    if (plan.length > kSlots) return;
    inputs.forEach((input, i) => { input.value = plan[i] || ""; });
    app.selectTab("check");
    $("calc").click();
    inputs[0].focus();
  });

  return { render: renderPlan, showSaved, busy: () => !!search };
}
