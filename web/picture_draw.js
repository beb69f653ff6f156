// The spectrum picture's drawing on its canvas: TV channels, bands,
// exclusions, the scan, each family's windows and products, the carriers,
// the axes and the gutter's row names. It only draws: the state it draws
// is `scene` (see picture.js), the places come from picture_views.js, and
// `placeTip` moves the tooltip after each frame so it follows the carrier.
function zelmarPictureDraw(scene, prep, geometry, placeTip) {
  "use strict";
  const { FONT, NAVY, colour, overlaps, lowerBound, upperBound, niceStep, decimalsOf } = prep;
  const { layout, mapper, crisp } = geometry;
  const PRODUCT = "#5d6b7e", BROKEN = "#d0021b", LINE = "#b9bec6";
  const ctx = scene.ctx;
  const hatch = hatchPattern();

  function hatchPattern() {
    const c = document.createElement("canvas");
    c.width = c.height = 6;
    const g = c.getContext("2d");
    g.fillStyle = "rgba(32,50,74,0.07)";
    g.fillRect(0, 0, 6, 6);
    g.strokeStyle = "rgba(32,50,74,0.3)";
    g.beginPath(); g.moveTo(0, 6); g.lineTo(6, 0); g.moveTo(-1, 1); g.lineTo(1, -1); g.moveTo(5, 7); g.lineTo(7, 5); g.stroke();
    return ctx.createPattern(c, "repeat");
  }
  // One frame: the rows and panels laid out again, then everything drawn.
  function draw() {
    const { S, W, H } = scene;
    ctx.setTransform(S, 0, 0, S, 0, 0);
    ctx.clearRect(0, 0, W, H);
    layout();
    if (scene.st && W >= 60) {
      scene.rects.forEach((r, i) => drawPanel(i));
      drawGutter();
      drawBreaks();
      drawScanTitles();
      placeTip();
    }
  }
  function ticks(i, minPx, mantissas) {
    const { views, rects } = scene;
    const v = views[i], r = rects[i];
    const step = niceStep(((v.hi - v.lo) * minPx) / (r.x1 - r.x0), mantissas);
    const out = [];
    for (let k = Math.ceil(v.lo / step - 1e-9); k * step <= v.hi + 1e-9; k++) out.push(k * step);
    return { step, values: out };
  }
  function drawPanel(i) {
    const { st, L, views, rects } = scene;
    const r = rects[i], v = views[i], px = mapper(i);
    ctx.font = "10px " + FONT;
    const axis = ticks(i, ctx.measureText(v.hi.toFixed(3)).width + 18, [1, 2, 2.5, 5]);
    ctx.save();
    ctx.beginPath();
    ctx.rect(r.x0, 0, r.x1 - r.x0, L.plotBottom);
    ctx.clip();
    ctx.fillStyle = "#fff";
    ctx.fillRect(r.x0, 0, r.x1 - r.x0, L.plotBottom);
    drawGrid(axis.values, px, r);
    drawTv(v, px, r);
    drawExcludes(v, px);
    drawBands(v, px);
    if (st.scan) drawScan(i, px);
    drawFamilies(v, px, r);
    drawCarriers(v, px, r);
    ctx.restore();
    ctx.strokeStyle = LINE;
    ctx.lineWidth = 1;
    ctx.strokeRect(crisp(r.x0), 0.5, Math.round(r.x1 - r.x0) - 1, L.plotBottom);
    drawAxis(axis, px, r);
  }
  function drawGrid(values, px, r) {
    const { st, L } = scene;
    ctx.strokeStyle = "#eceef1";
    ctx.lineWidth = 1;
    ctx.beginPath();
    for (const t of values) { const x = crisp(px(t)); ctx.moveTo(x, L.tvBottom); ctx.lineTo(x, L.plotBottom); }
    for (let k = 0; k < st.families.length; k++) {
      const y = crisp(L.famTop + k * L.rowH);
      ctx.moveTo(r.x0, y); ctx.lineTo(r.x1, y);
    }
    ctx.moveTo(r.x0, crisp(L.scanTop - 3)); ctx.lineTo(r.x1, crisp(L.scanTop - 3));
    ctx.stroke();
  }
  function drawTv(v, px, r) {
    const { st, L } = scene;
    ctx.font = "10px " + FONT;
    ctx.textAlign = "center";
    ctx.textBaseline = "middle";
    for (const t of st.data.tv) {
      if (!overlaps(t.low, t.high, v)) continue;
      const x0 = px(t.low), x1 = px(t.high), label = String(t.channel);
      ctx.fillStyle = t.channel % 2 ? "#e4eaf2" : "#f1f4f8";
      ctx.fillRect(x0, 0, x1 - x0, L.tvBottom);
      if (x1 - x0 > ctx.measureText(label).width + 4) {
        ctx.fillStyle = "#56657a";
        ctx.fillText(label, (Math.max(x0, r.x0) + Math.min(x1, r.x1)) / 2, L.tvBottom / 2 + 1);
      }
    }
  }
  function drawExcludes(v, px) {
    const { st, L } = scene;
    for (const e of st.excludes) {
      if (!overlaps(e.low, e.high, v)) continue;
      const x0 = px(e.low), w = Math.max(2, px(e.high) - x0);
      ctx.fillStyle = e.scan ? "rgba(240,180,60,0.28)" : hatch;
      ctx.fillRect(x0, L.tvBottom, w, L.plotBottom - L.tvBottom);
    }
  }
  function drawBands(v, px) {
    const { st, L } = scene;
    for (const b of st.data.bands) {
      if (!overlaps(b.low, b.high, v)) continue;
      ctx.fillStyle = colour(b.group);
      ctx.fillRect(px(b.low), L.bandTop, Math.max(2, px(b.high) - px(b.low)), 4);
    }
  }
  // One path vertex per point when zoomed in; per pixel column the lowest
  // and highest level when there are more points than columns.
  function drawScan(i, px) {
    const { st, L, views, rects } = scene;
    const s = st.scan, v = views[i], r = rects[i];
    const top = L.scanTop, bottom = L.plotBottom - 1, scale = (bottom - top) / (s.max - s.min);
    const y = (l) => bottom - (l - s.min) * scale;
    const a = Math.max(0, lowerBound(s.f, v.lo) - 1), b = Math.min(s.f.length, upperBound(s.f, v.hi) + 1);
    if (b > a) {
      const x0 = px(s.f[a]);
      ctx.beginPath();
      ctx.moveTo(x0, y(s.level[a]));
      if (b - a > 2 * (r.x1 - r.x0)) {
        const k = (r.x1 - r.x0) / (v.hi - v.lo), base = r.x0 - v.lo * k;
        let col = Math.floor(x0), lo = s.level[a], hi = lo;
        for (let j = a + 1; j < b; j++) {
          const c = Math.floor(base + s.f[j] * k), l = s.level[j];
          if (c === col) { if (l < lo) lo = l; else if (l > hi) hi = l; continue; }
          ctx.lineTo(col + 0.5, y(lo)); ctx.lineTo(col + 0.5, y(hi));
          col = c; lo = hi = l;
        }
        ctx.lineTo(col + 0.5, y(lo)); ctx.lineTo(col + 0.5, y(hi));
      } else {
        for (let j = a + 1; j < b; j++) ctx.lineTo(px(s.f[j]), y(s.level[j]));
      }
      ctx.strokeStyle = "#6f829c";
      ctx.lineWidth = 1;
      ctx.stroke();
      ctx.lineTo(px(s.f[b - 1]), bottom); ctx.lineTo(x0, bottom); ctx.closePath();
      ctx.fillStyle = "rgba(32,50,74,0.13)";
      ctx.fill();
    }
    // Each scan's threshold (dashed) and floor (dotted) over its own span.
    for (const p of s.parts) {
      if (p.high < v.lo || p.low > v.hi) continue;
      const x0 = Math.max(r.x0, px(p.low)), x1 = Math.min(r.x1, px(p.high));
      const line = (level, dash, colour, width) => {
        const ly = crisp(Math.min(bottom, Math.max(top, y(level))));
        ctx.strokeStyle = colour;
        ctx.lineWidth = width;
        ctx.setLineDash(dash);
        ctx.beginPath(); ctx.moveTo(x0, ly); ctx.lineTo(x1, ly); ctx.stroke();
      };
      if (p.floor !== null) line(p.floor, [2, 3], "#5b8a5b", 1);
      line(p.threshold, [6, 4], "#c98a00", 1.5);
    }
    ctx.setLineDash([]);
  }
  function drawFamilies(v, px, r) {
    const { st, L } = scene;
    const carriers = st.data.carriers;
    st.families.forEach((fam, k) => {
      const top = L.famTop + k * L.rowH, bottom = top + L.rowH;
      for (let c = 0; c < carriers.length; c++) {
        if (isNaN(fam.lo[c]) || !overlaps(fam.lo[c], fam.hi[c], v)) continue;
        const x0 = crisp(px(fam.lo[c])), w = Math.max(0, crisp(px(fam.hi[c])) - x0);
        ctx.fillStyle = ctx.strokeStyle = colour(carriers[c].group);
        ctx.globalAlpha = 0.2;
        ctx.fillRect(x0, top + 2, w, L.rowH - 3);
        ctx.globalAlpha = 0.6;
        ctx.lineWidth = 1;
        ctx.strokeRect(x0, top + 2, w, L.rowH - 3);
      }
      ctx.globalAlpha = 1;
      const a = lowerBound(fam.vals, v.lo), b = upperBound(fam.vals, v.hi);
      for (const broken of [0, 1]) {
        const half = broken ? 5 : 3.5, height = broken ? Math.min(10, L.rowH - 3) : 6;
        let last = -1;
        ctx.beginPath();
        for (let j = a; j < b; j++) {
          if (fam.broken[j] !== broken) continue;
          const x = Math.round(px(fam.vals[j]) * 2) / 2;
          if (x === last) continue;
          last = x;
          ctx.moveTo(x, bottom - 2 - height); ctx.lineTo(x + half, bottom - 2); ctx.lineTo(x - half, bottom - 2); ctx.closePath();
        }
        ctx.fillStyle = broken ? BROKEN : PRODUCT;
        ctx.fill();
      }
    });
  }
  function drawCarriers(v, px, r) {
    const { st, L, selected } = scene;
    const carriers = st.data.carriers, f = st.order.vals;
    const a = lowerBound(f, v.lo), b = upperBound(f, v.hi);
    let labelEnd = -Infinity;
    ctx.font = "11px " + FONT;
    ctx.textAlign = "center";
    ctx.textBaseline = "alphabetic";
    for (let j = a; j < b; j++) {
      const index = st.order.idx[j], c = carriers[index], x = crisp(px(f[j])), hue = colour(c.group);
      ctx.strokeStyle = ctx.fillStyle = hue;
      ctx.lineWidth = index === selected ? 3 : 1;
      ctx.setLineDash(c.spare ? [3, 3] : []);
      ctx.beginPath(); ctx.moveTo(x, L.lineTop); ctx.lineTo(x, L.plotBottom); ctx.stroke();
      ctx.setLineDash([]);
      ctx.lineWidth = 1.5;
      if (c.spare) { ctx.fillStyle = "#fff"; ctx.beginPath(); ctx.arc(x, L.spareY, 3.5, 0, 7); ctx.fill(); ctx.stroke(); }
      else if (c.fixed) ctx.fillRect(x - 3.5, L.spareY - 3.5, 7, 7);
      // A carrier in a signal the scans show: a red warning triangle.
      if (c.in_signal) {
        ctx.fillStyle = "#c0392b";
        ctx.beginPath(); ctx.moveTo(x, L.spareY - 7); ctx.lineTo(x - 5, L.spareY + 2); ctx.lineTo(x + 5, L.spareY + 2); ctx.closePath(); ctx.fill();
      }
      const label = c.label || c.text, half = ctx.measureText(label).width / 2 + 2;
      if (x - half < labelEnd || x - half < r.x0 || x + half > r.x1) continue;
      ctx.fillStyle = c.spare ? "#6b7380" : hue;
      ctx.fillText(label, x, L.labelY);
      labelEnd = x + half;
    }
  }
  function drawAxis(axis, px, r) {
    const L = scene.L;
    const digits = decimalsOf(axis.step);
    ctx.font = "10px " + FONT;
    ctx.textAlign = "center";
    ctx.textBaseline = "top";
    ctx.strokeStyle = NAVY;
    ctx.fillStyle = NAVY;
    ctx.beginPath();
    for (const t of axis.values) {
      const x = crisp(px(t)), label = t.toFixed(digits), half = ctx.measureText(label).width / 2;
      ctx.moveTo(x, L.plotBottom); ctx.lineTo(x, L.plotBottom + 4);
      if (x - half >= r.x0 - 2 && x + half <= r.x1 + 2) ctx.fillText(label, x, L.plotBottom + 6);
    }
    ctx.stroke();
  }
  function drawGutter() {
    const { st, L, texts } = scene;
    ctx.font = "10px " + FONT;
    ctx.textAlign = "right";
    ctx.textBaseline = "middle";
    ctx.fillStyle = "#3b4a5e";
    const x = scene.gutter - 6;
    st.families.forEach((f, k) => ctx.fillText(texts.family[f.name] || f.name, x, L.famTop + (k + 0.5) * L.rowH + 1));
    if (st.anySpare) ctx.fillText(texts.spare, x, L.spareY);
    if (!st.scan) return;
    const s = st.scan, bottom = L.plotBottom - 1, scale = (bottom - L.scanTop) / (s.max - s.min);
    const step = niceStep((s.max - s.min) / 3, [1, 2, 5]);
    for (let k = Math.ceil(s.min / step); k * step <= s.max; k++) {
      const yy = bottom - (k * step - s.min) * scale;
      if (yy > L.scanTop + 4) ctx.fillText(String(k * step), x, yy);
    }
  }
  function drawBreaks() {
    const { L, rects } = scene;
    ctx.strokeStyle = NAVY;
    ctx.lineWidth = 1.2;
    ctx.beginPath();
    for (let i = 1; i < rects.length; i++) {
      const mid = (rects[i - 1].x1 + rects[i].x0) / 2;
      for (const y of [L.plotBottom, L.tvBottom + 2]) {
        ctx.moveTo(mid - 4, y + 4); ctx.lineTo(mid - 1, y - 4);
        ctx.moveTo(mid + 1, y + 4); ctx.lineTo(mid + 4, y - 4);
      }
    }
    ctx.stroke();
  }
  function drawScanTitles() {
    const { st, L, rects, texts } = scene;
    if (!st.scan) return;
    const s = st.scan, first = rects[0];
    const last = rects.reduce((a, r) => (r.x1 - r.x0 > a.x1 - a.x0 ? r : a));
    ctx.font = "10px " + FONT;
    ctx.textBaseline = "top";
    ctx.textAlign = "left";
    ctx.fillStyle = "#56657a";
    ctx.fillText(texts.scanLevel, first.x0 + 4, L.scanTop);
    const bottom = L.plotBottom - 1, top = L.scanTop;
    if (!s.parts.length) return;
    const first_part = s.parts[0];
    const y = Math.min(bottom, Math.max(top, bottom - ((first_part.threshold - s.min) * (bottom - top)) / (s.max - s.min)));
    const thresholds = [...new Set(s.parts.map((p) => p.threshold))].join(" / ");
    const floors = [...new Set(s.parts.filter((p) => p.floor !== null).map((p) => p.floor))].join(" / ");
    const label = `${texts.threshold} ${thresholds} dBm` + (floors ? ` · ${texts.floor} ${floors} dBm` : "");
    const w = ctx.measureText(label).width;
    const ly = y - 15 < top ? y + 3 : y - 15;
    ctx.fillStyle = "rgba(255,255,255,0.85)";
    ctx.fillRect(last.x1 - w - 8, ly - 1, w + 6, 13);
    ctx.fillStyle = "#8a5d00";
    ctx.textAlign = "right";
    ctx.fillText(label, last.x1 - 5, ly);
  }

  return { draw };
}
