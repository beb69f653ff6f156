// The spectrum picture's input: a mouse hovers and clicks, a finger taps,
// drags a panel sideways or pinches it, the wheel zooms where it points, and
// the keyboard steps through the carriers and zooms all panels (as do the
// toolbar's buttons, through zoomAll and resetAll). Everything it changes
// is in `scene` (see picture.js); the selection is picture_tip.js's.
function zelmarPictureInput(scene, geometry, tipRoom, invalidate) {
  "use strict";
  const { panelAt, zoomAt, pan, fullViews } = geometry;
  const { select, nearest, step } = tipRoom;
  const canvas = scene.canvas;

  function zoomAll(factor) {
    if (!scene.st) return;
    scene.rects.forEach((r, i) => zoomAt(i, (r.x0 + r.x1) / 2, factor));
    invalidate();
  }
  function resetAll() {
    if (!scene.st) return;
    scene.views = fullViews();
    invalidate();
  }

  const pointers = new Map();
  let gesture = null;
  const localX = (e) => e.clientX - canvas.getBoundingClientRect().left;
  const pinchOf = (pts) => ({ mid: (pts[0].x + pts[1].x) / 2, dist: Math.max(10, Math.hypot(pts[0].x - pts[1].x, pts[0].y - pts[1].y)) });
  canvas.addEventListener("pointerdown", (e) => {
    if (!scene.st) return;
    if (e.isTrusted) canvas.setPointerCapture(e.pointerId); // a test's made-up pointer has nothing to capture
    pointers.set(e.pointerId, { x: localX(e), y: e.clientY });
    const pts = [...pointers.values()];
    if (pts.length === 1) gesture = { panel: panelAt(pts[0].x), x: pts[0].x, y: pts[0].y, moved: false };
    else if (gesture) { gesture.moved = true; gesture.pinch = pinchOf(pts); }
  });
  canvas.addEventListener("pointermove", (e) => {
    if (!scene.st) return;
    const x = localX(e);
    if (!pointers.has(e.pointerId)) {
      if (e.pointerType === "mouse" && (scene.selectedBy === "hover" || scene.selected === null)) {
        const hit = nearest(x, 8);
        if (hit !== scene.selected) select(hit, "hover");
      }
      return;
    }
    pointers.set(e.pointerId, { x, y: e.clientY });
    const pts = [...pointers.values()];
    if (pts.length >= 2 && gesture && gesture.pinch) {
      const now = pinchOf(pts);
      zoomAt(gesture.panel, gesture.pinch.mid, now.dist / gesture.pinch.dist);
      pan(gesture.panel, now.mid - gesture.pinch.mid);
      gesture.pinch = now;
    } else if (gesture) {
      if (!gesture.moved && Math.abs(x - gesture.x) + Math.abs(e.clientY - gesture.y) < 5) return;
      pan(gesture.panel, x - gesture.x);
      gesture.moved = true;
      gesture.x = x;
    }
    invalidate();
  });
  function pointerEnd(e) {
    if (!pointers.delete(e.pointerId)) return;
    const rest = [...pointers.values()];
    if (rest.length === 1 && gesture) Object.assign(gesture, { x: rest[0].x, y: rest[0].y, pinch: null });
    if (rest.length) return;
    if (gesture && !gesture.moved && e.type === "pointerup") select(nearest(localX(e), e.pointerType === "mouse" ? 8 : 18), "tap");
    gesture = null;
  }
  canvas.addEventListener("pointerup", pointerEnd);
  canvas.addEventListener("pointercancel", pointerEnd);
  canvas.addEventListener("pointerleave", (e) => { if (e.pointerType === "mouse" && scene.selectedBy === "hover") select(null, null); });
  canvas.addEventListener("wheel", (e) => {
    if (!scene.st) return;
    e.preventDefault();
    const unit = e.deltaMode === 1 ? 16 : e.deltaMode === 2 ? scene.H : 1, x = localX(e);
    zoomAt(panelAt(x), x, Math.exp(-e.deltaY * unit * 0.002));
    invalidate();
  }, { passive: false });
  canvas.addEventListener("keydown", (e) => {
    if (!scene.st) return;
    const keys = { ArrowLeft: () => step(-1), ArrowRight: () => step(1), "+": () => zoomAll(2), "=": () => zoomAll(2),
      "-": () => zoomAll(0.5), "0": resetAll, Escape: () => select(null, null) };
    if (!keys[e.key]) return;
    e.preventDefault();
    keys[e.key]();
  });

  return { zoomAll, resetAll };
}
