// The spectrum picture: carriers, their intermodulation windows and products,
// TV channels, bands, exclusions and a scan, in side-by-side panels that zoom
// and pan on their own. Every frequency comes from the module's data; the
// picture's files only map MHz to pixels (and pick tick steps, which are
// drawing).
//
// create(container, texts) takes the words it shows from the page:
//   zoomIn, zoomOut, reset   toolbar buttons (reset is also shown as text)
//   picture                  the canvas's accessible name
//   family                   { "2tx3", "3tx3", "2tx5" }: short row names
//   makes, suffers, closest  tooltip headings: products this carrier is a
//                            term of, products falling on it, closest ones
//   group, band              tooltip field names
//   spare, fixed             carrier kinds (spare also names the spare row)
//   scanLevel, threshold     the scan's scale title and threshold label
//   floor, inSignal          the noise floor's label; a carrier in a signal
//   none                     a family without a closest product
function zelmarPicture() {
  "use strict";
  const prep = zelmarPicturePrep();
  const { el, colour, overlaps, prepare } = prep;
  const PRINT_WIDTH = 680;  // CSS px of 180 mm, an A4 portrait page's text

  // The picture's rooms, each a file of its own: picture_prep.js (helpers
  // and the data sorted once), picture_views.js (geometry, zoom and pan),
  // picture_draw.js (the canvas), picture_tip.js (selection and tooltip) and
  // picture_input.js (pointer, wheel and keys). This one builds the DOM,
  // follows the size and the print, and keeps the public view.
  function create(container, initialTexts) {
    let frame = 0;
    const view = { lastDrawMs: 0 };

    const root = el("div", "zp zp-empty");
    const bar = el("div", "zp-bar");
    bar.setAttribute("role", "toolbar");
    const button = (symbol, action) => {
      const b = el("button", "zp-button", symbol);
      b.type = "button";
      b.addEventListener("click", action);
      bar.append(b);
      return b;
    };
    // `input` is made below; a button is clicked only after create returns.
    const buttons = {
      zoomOut: button("−", () => input.zoomAll(0.5)), zoomIn: button("+", () => input.zoomAll(2)),
      reset: button("↺", () => input.resetAll()),
    };
    const stage = el("div", "zp-stage");
    const canvas = el("canvas", "zp-canvas");
    canvas.tabIndex = 0;
    canvas.setAttribute("role", "img");
    const tip = el("div", "zp-tip");
    tip.hidden = true;
    tip.setAttribute("aria-live", "polite");
    const legend = el("ul", "zp-legend");
    stage.append(canvas, tip);
    root.append(bar, stage, legend);
    container.append(root);
    const ctx = canvas.getContext("2d");

    // What the rooms share and change. st: the shown data as prepare() made
    // it; views: each panel's shown MHz; rects, L, gutter: the last layout
    // in CSS px; W, H, S: the canvas's size and pixel ratio; selected: a
    // carrier's index or null, selectedBy: what selected it.
    const scene = {
      texts: initialTexts, st: null, views: [], rects: [], L: null,
      W: 0, H: 0, S: 1, gutter: 0, printing: false, selected: null, selectedBy: null,
      canvas, ctx, tip,
    };
    const geometry = zelmarPictureViews(scene, prep);
    const { rows, mapper, setView, fullViews } = geometry;
    const tipRoom = zelmarPictureTip(scene, prep, geometry, invalidate);
    const { fillTip, select } = tipRoom;
    const painter = zelmarPictureDraw(scene, prep, geometry, tipRoom.placeTip);
    const input = zelmarPictureInput(scene, geometry, tipRoom, invalidate);

    function invalidate() {
      if (!frame) frame = requestAnimationFrame(() => { frame = 0; draw(); });
    }
    function draw() {
      const t0 = performance.now();
      painter.draw();
      view.lastDrawMs = performance.now() - t0;
    }
    function resize(width, height, scale) {
      scene.W = width; scene.H = height; scene.S = scale;
      const w = Math.round(scene.W * scene.S), h = Math.round(scene.H * scene.S);
      if (canvas.width !== w) canvas.width = w;
      if (canvas.height !== h) canvas.height = h;
      canvas.style.height = scene.H + "px";
    }
    function fit() {
      if (scene.printing) return;
      scene.W = Math.max(1, Math.floor(stage.clientWidth));
      resize(scene.W, rows().height, window.devicePixelRatio || 1);
      draw();
    }

    let lastWidth = -1;
    const observer = new ResizeObserver(() => {
      if (stage.clientWidth !== lastWidth) { lastWidth = stage.clientWidth; fit(); }
    });
    observer.observe(stage);
    function beforePrint() {
      if (scene.printing) return;
      scene.printing = true;
      scene.W = PRINT_WIDTH;
      resize(PRINT_WIDTH, rows().height, 3);
      draw();
    }
    function afterPrint() {
      if (!scene.printing) return;
      scene.printing = false;
      fit();
    }
    const printQuery = window.matchMedia("print");
    const onPrintQuery = (e) => (e.matches ? beforePrint() : afterPrint());
    printQuery.addEventListener("change", onPrintQuery);
    window.addEventListener("beforeprint", beforePrint);
    window.addEventListener("afterprint", afterPrint);

    function setTexts(next) {
      const texts = (scene.texts = next);
      for (const [key, b] of Object.entries(buttons)) { b.setAttribute("aria-label", texts[key]); b.title = texts[key]; }
      buttons.reset.textContent = "↺ " + texts.reset;
      canvas.setAttribute("aria-label", texts.picture || "");
      if (scene.st && scene.selected !== null) fillTip();
      if (scene.st) fillLegend();
      invalidate();
    }
    function fillLegend() {
      const { st, texts } = scene;
      legend.replaceChildren();
      st.data.groups.forEach((g, i) => {
        if (!g.name) return;
        const item = el("li");
        const swatch = el("span", "zp-swatch");
        swatch.style.background = colour(i);
        item.append(swatch, g.label ? `${g.name} (${g.label})` : g.name);
        legend.append(item);
      });
      const key = (cls, word) => { const item = el("li"); item.append(el("span", cls), word); legend.append(item); };
      if (st.data.carriers.some((c) => c.fixed)) key("zp-key-fixed", texts.fixed);
      if (st.anySpare) key("zp-key-spare", texts.spare);
    }
    function sameSpans(a, b) {
      return a.length === b.length && a.every((p, i) => p.low === b[i].low && p.high === b[i].high);
    }

    function show(data) {
      const old = scene.st, selected = scene.selected;
      const keep = old && data && sameSpans(old.data.panels, data.panels);
      const was = old && selected !== null ? old.data.carriers[selected].frequency : null;
      const st = (scene.st = data ? prepare(data) : null);
      root.classList.toggle("zp-empty", !st);
      legend.replaceChildren();
      if (!keep) scene.views = fullViews();
      const still = st && selected !== null && st.data.carriers[selected] && st.data.carriers[selected].frequency === was;
      if (!still) scene.selected = null;
      tip.hidden = scene.selected === null;
      if (st) fillLegend();
      if (st && scene.selected !== null) fillTip();
      fit();
    }
    function setScan(parts, scanExcludes) {
      const st = scene.st;
      if (!st) return;
      if (st.scan) st.scan.parts = parts;
      st.excludes = st.data.excludes.filter((e) => !e.scan).concat(scanExcludes.map((e) => ({ low: e.low, high: e.high, scan: true })));
      invalidate();
    }
    function marks() {
      const { st, views, rects } = scene;
      const m = { carriers: [], products: [], windows: [], excludes: [], tv: [], panels: [] };
      views.forEach((v, i) => {
        const px = mapper(i), cut = (lo, hi) => ({ x0: px(Math.max(lo, v.lo)), x1: px(Math.min(hi, v.hi)) });
        m.panels.push({ x0: rects[i].x0, x1: rects[i].x1, low: v.lo, high: v.hi });
        st.data.carriers.forEach((c, k) => {
          if (overlaps(c.frequency, c.frequency, v)) m.carriers.push({ index: k, x: px(c.frequency) });
          for (const f of st.families) {
            if (!isNaN(f.lo[k]) && overlaps(f.lo[k], f.hi[k], v)) m.windows.push({ carrier: k, family: f.name, ...cut(f.lo[k], f.hi[k]) });
          }
        });
        st.data.products.forEach((p, k) => {
          if (st.shownFamilies.has(p.family) && overlaps(p.value, p.value, v)) m.products.push({ index: k, x: px(p.value), broken: !!p.broken });
        });
        for (const e of st.excludes) if (overlaps(e.low, e.high, v)) m.excludes.push({ ...cut(e.low, e.high), scan: !!e.scan });
        for (const t of st.data.tv) if (overlaps(t.low, t.high, v)) m.tv.push({ channel: t.channel, ...cut(t.low, t.high) });
      });
      return m;
    }
    // A pan and zoom swing through every panel, drawn once a frame; resolves
    // to the intervals between frames, with each frame's draw time as .draws.
    function frameTimes(frames) {
      if (!scene.st) return Promise.resolve([]);
      const saved = scene.views.slice(), full = scene.st.data.panels;
      const intervals = [], draws = [];
      return new Promise((resolve) => {
        let n = 0, last = 0;
        const tick = (now) => {
          if (n > 0) intervals.push(now - last);
          last = now;
          if (n === frames) { scene.views = saved; draw(); intervals.draws = draws; resolve(intervals); return; }
          const t = n / frames;
          full.forEach((p, i) => {
            const span = (p.high - p.low) * (0.08 + 0.92 * (0.5 + 0.5 * Math.cos(4 * Math.PI * t)));
            setView(i, p.low + (p.high - p.low) * (0.5 + 0.4 * Math.sin(2 * Math.PI * t)) - span / 2, span);
          });
          draw();
          draws.push(view.lastDrawMs);
          n++;
          requestAnimationFrame(tick);
        };
        requestAnimationFrame(tick);
      });
    }
    function destroy() {
      observer.disconnect();
      if (frame) cancelAnimationFrame(frame);
      printQuery.removeEventListener("change", onPrintQuery);
      window.removeEventListener("beforeprint", beforePrint);
      window.removeEventListener("afterprint", afterPrint);
      root.remove();
    }

    setTexts(scene.texts);
    return Object.assign(view, {
      show, setScan, setTexts, marks, frameTimes, destroy,
      select: (index) => select(index, "api"),
    });
  }

  return { create };
}
