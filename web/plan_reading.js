// How the plan form reads what was typed, and where the planner's refusal
// codes go. A list splits at spaces, line ends and semicolons only; a
// number holding a comma or a full-width character is refused with what to
// type instead, never split or guessed; a carrier's frequency above
// 3,000 MHz is refused as kilohertz; a range is LOW:HIGH or LOW-HIGH. The
// numbers themselves are read by the module, never here.
function zelmarPlanReading(app) {
  "use strict";
  const kProbablyKhz = 100;  // web/plan_refusal.h
  const tokens = (text) => text.split(/[\s;]+/).filter((t) => t !== "");
  // TV channels are written 21,22,35-37: there the comma does separate.
  const channelTokens = (text) => text.split(/[\s;,、，]+/).filter((t) => t !== "");
  const fullWidth = /[\uff01-\uff5e]/;
  const halfWidth = (text) => text.replace(/[\uff01-\uff5e]/g, (c) => String.fromCharCode(c.charCodeAt(0) - 0xfee0));

  // The refusal of a text no number is read from as typed: [key, hint].
  function typedProblem(text) {
    if (fullWidth.test(text)) return ["fullWidth", halfWidth(text)];
    if (/[,、，]/.test(text)) return ["decimalComma", null];
    return null;
  }

  // A range's parts: LOW:HIGH[:STEP], or LOW-HIGH[:STEP] (no number here
  // has a sign, so the dash only ever separates).
  function rangeParts(text) {
    const parts = text.split(":");
    if (parts.length <= 2 && /^[^-]+-[^-]+$/.test(parts[0])) parts.splice(0, 1, ...parts[0].split("-"));
    return parts;
  }

  // TV channels as the planner's --tv takes them ("21,22,35-37"), or a
  // refusal: [key, token].
  function channels(text) {
    const list = channelTokens(text);
    if (!list.length) return { problem: ["tvEmpty", null] };
    for (const t of list) {
      if (fullWidth.test(t)) return { problem: ["fullWidth", t] };
      const m = /^([0-9]+)(?:-([0-9]+))?$/.exec(t);
      if (!m) return { problem: ["tvForm", t] };
      if ([m[1], m[2]].some((n) => n !== undefined && (+n < 13 || +n > 52))) return { problem: ["tvRange", t] };
    }
    return { text: list.join(",") };
  }

  // The form field a refusal code is about: [field, row] (field as the
  // form names it, group k's own fields by "gK-"; row a band row from 1).
  function refusalField(r, stem) {
    const k = (r.group || 0) + 1;
    if (r.what === "options") {
      const byError = {
        sameName: "name", tvChannelEmpty: "bands", countsOnSomeBands: "bands", maxWithCounts: "count",
        noCount: "count", countAndMax: "count", tooManyFixed: "fixed", countBelowFixed: "count",
        countDiffers: "count", tooManyCarriers: "count", twoOpen: "count",
      };
      const field = byError[r.error];
      if (!field) return ["form", null];
      return [stem(k, field), r.error === "tvChannelEmpty" ? r.band + 1 : null];
    }
    if (r.what === "bandsShare") return [stem(k, "bands"), null];
    if (r.what === "bandTooSmall") return [stem(k, "bands"), r.band + 1];
    if (r.what === "fixedBroken") return [stem(k, "fixed"), null];
    return ["form", null];
  }

  return {
    tokens,
    rangeParts,
    channels,
    refusalField,
    // A number's reading: {value} (the module's MHz text) or {problem:
    // [key, arg, hint]}. `frequency`: a carrier's or a band's edge, not a
    // distance, so never zero and never above 3,000 MHz.
    read(text, { allowZero = false, frequency = false } = {}) {
      const typed = typedProblem(text);
      if (typed) return { problem: [typed[0], null, typed[1]] };
      const r = frequency ? app.zelmar.readFrequency(text) : app.zelmar.readMHz(text, allowZero);
      if (r.error === kProbablyKhz) return { problem: ["probablyKhz", null, null] };
      if (r.error) return { problem: ["number", r.error, null] };
      return { value: r.text };
    },
    typedProblem,
  };
}
