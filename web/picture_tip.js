// The spectrum picture's selected carrier and its tooltip: the products the
// carrier makes and suffers, each family's closest one, placed beside the
// carrier or docked under the picture. The input (picture_input.js) and
// the view's select both select through here; the selection itself lives
// in `scene` (see picture.js).
function zelmarPictureTip(scene, prep, geometry, invalidate) {
  "use strict";
  const { el, lowerBound, upperBound } = prep;
  const { mapper, panelAt, reveal } = geometry;
  const LIST_MAX = 8;       // products listed per tooltip section
  const tip = scene.tip;

  function productList(title, list, most) {
    const box = el("div", "zp-section");
    box.append(el("div", "zp-head", `${title} (${list.length})`));
    const ul = el("ul");
    for (const i of list.slice(0, most)) {
      const p = scene.st.data.products[i];
      ul.append(el("li", p.broken ? "zp-broken" : "", p.text));
    }
    if (list.length > most) ul.append(el("li", "zp-more", `…+${list.length - most}`));
    if (list.length) box.append(ul);
    return box;
  }
  function closestList(c) {
    const { st, texts } = scene;
    const box = el("div", "zp-section zp-closest");
    box.append(el("div", "zp-head", texts.closest));
    const ul = el("ul");
    for (const f of st.data.families) {
      const k = c.closest ? c.closest[f] : null, p = k === null || k === undefined ? null : st.data.products[k];
      ul.append(el("li", p && p.broken ? "zp-broken" : "", `${texts.family[f] || f}: ${p ? p.text : texts.none}`));
    }
    box.append(ul);
    return box;
  }
  // Over the picture with as many products as its height holds, up to
  // LIST_MAX; when even a few do not fit (narrow screens), as a card under it.
  function fillTip() {
    const { st, texts, selected } = scene;
    const c = st.data.carriers[selected], group = st.data.groups[c.group];
    const head = el("div", "zp-title");
    head.append(el("b", "", `${c.text} MHz`), ` ${c.label || ""}`);
    const kinds = [c.fixed ? texts.fixed : "", c.spare ? texts.spare : ""].filter(Boolean).join(" · ");
    // A request without groups has one group without a name: not shown.
    const named = group && group.name ? `${texts.group}: ${group.name} · ` : "";
    const facts = el("div", "zp-facts", `${named}${texts.band}: ${c.band || "—"}${kinds ? " · " + kinds : ""}`);
    if (c.in_signal) facts.append(el("div", "zp-signal", texts.inSignal(c.in_signal)));
    tip.classList.toggle("zp-wide", scene.W >= 640);
    tip.hidden = false;
    const fill = (most, docked) => {
      tip.classList.toggle("zp-docked", docked);
      tip.replaceChildren(head, facts, productList(texts.makes, st.makes[selected], most),
        productList(texts.suffers, st.suffers[selected], most), closestList(c));
      return tip.scrollHeight + 2 <= scene.H - 8;
    };
    if (![LIST_MAX, 5, 3].some((most) => fill(most, false))) fill(LIST_MAX, true);
    placeTip();
  }
  // Beside the carrier, on the side with more room, inside the stage.
  function placeTip() {
    const { selected, W, H } = scene;
    if (selected === null || tip.hidden || tip.classList.contains("zp-docked")) return;
    const f = scene.st.data.carriers[selected].frequency;
    const i = scene.views.findIndex((v) => f >= v.lo && f <= v.hi);
    const x = i < 0 ? W / 2 : mapper(i)(f), w = tip.offsetWidth, h = tip.offsetHeight;
    const left = x > W / 2 ? x - w - 10 : x + 10;
    tip.style.left = Math.max(4, Math.min(W - w - 4, left)) + "px";
    tip.style.top = Math.max(4, Math.min(scene.L.lineTop + 6, H - h - 4)) + "px";
  }
  // `by` ("hover", "tap", "key", "api") decides what may take it away.
  function select(index, by) {
    const st = scene.st;
    scene.selected = st && index !== null && index >= 0 && index < st.data.carriers.length ? index : null;
    scene.selectedBy = by;
    if (scene.selected === null) tip.hidden = true;
    else { reveal(scene.selected); fillTip(); }
    invalidate();
  }
  function nearest(x, tolerance) {
    const { st, views } = scene;
    const i = panelAt(x), v = views[i], px = mapper(i), f = st.order.vals;
    let best = null, bestD = tolerance;
    for (let j = lowerBound(f, v.lo), end = upperBound(f, v.hi); j < end; j++) {
      const d = Math.abs(px(f[j]) - x);
      if (d <= bestD) { best = st.order.idx[j]; bestD = d; }
    }
    return best;
  }
  function step(direction) {
    const list = scene.st.reachable;
    if (!list.length) return;
    const at = list.indexOf(scene.selected);
    const next = at < 0 ? (direction > 0 ? 0 : list.length - 1) : Math.max(0, Math.min(list.length - 1, at + direction));
    select(list[next], "key");
  }

  return { fillTip, placeTip, select, nearest, step };
}
