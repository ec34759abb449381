// The fixed parts of the page: its style sheet, its one script, and the
// Content-Security-Policy that lets nothing else run or load.
//
// The page must work as a file handed to someone with a browser and nothing
// else, and must stay harmless whatever names it shows: it loads nothing
// from anywhere (no font, image, style sheet or script), and the policy
// allows the inline styles and exactly one script, named by the SHA-256 of
// its text. Change the script and its hash together; a test recomputes the
// hash from a written page, and another runs the page in a browser.
#pragma once

#include <string_view>

namespace kerf {

// Column sorting for the file table: a click on a heading sorts the files'
// row groups by that column's data-k keys (zero-padded numbers) or else its
// text, again to reverse. It marks <html> with the class "js", which shows the sort
// hints. The page reads the same without it.
//
// Zooming the timeline: a drag across the axis, or the buttons the script
// adds above it, show a shorter span; a drag across the rows, the buttons
// or the arrow keys move it; "Back" returns to the view before the last
// zoom, "Whole run" to the run's span. The axis is drawn again for the span
// shown (years down to minutes) and the marks moved, those outside it
// hidden. Each mark's time is read back from its title (the axis names the
// order of the date's fields and the span it was drawn for), so the page
// carries no time twice; a title that does not read back gives the time
// the mark's place on the whole-run drawing says. Without the script the
// page shows the whole run, as drawn.
inline constexpr std::string_view kPageScript = R"SCRIPT(
document.documentElement.classList.add("js");
for (const th of document.querySelectorAll("#files th")) th.addEventListener("click", () => {
  const table = th.closest("table"), column = th.cellIndex, up = th.getAttribute("aria-sort") !== "ascending";
  for (const other of th.parentNode.cells) other.removeAttribute("aria-sort");
  th.setAttribute("aria-sort", up ? "ascending" : "descending");
  const keyed = [...table.tBodies].map((body) => [body.rows[0].cells[column].dataset.k ?? body.rows[0].cells[column].textContent, body]);
  keyed.sort((a, b) => (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0) * (up ? 1 : -1));
  for (const [, body] of keyed) table.append(body);
});
for (const axis of document.querySelectorAll("svg.axis[data-start]")) {
  const rows = axis.parentNode.querySelector("svg.rows");
  if (!rows || !(+axis.dataset.start < +axis.dataset.end)) continue;
  const left = 224, right = 1186, shortest = 120, whole = [+axis.dataset.start, +axis.dataset.end];
  const marks = rows.querySelectorAll("circle.mark"), grid = rows.querySelector(".grid"), order = axis.dataset.dates ?? "";
  const note = rows.parentNode.nextElementSibling, height = rows.viewBox.baseVal.height;
  let times = null, view = whole, back = [], drag = null;
  const iso = (t) => new Date(t * 1000).toISOString().replace("T", " ");
  const timeAt = (x, [from, to] = view) => from + ((x - left) / (right - left)) * (to - from);
  const xOf = (t) => left + ((t - view[0]) / (view[1] - view[0])) * (right - left);
  const timeOf = (mark) => {
    const near = timeAt(+mark.getAttribute("cx"), whole), fields = {};
    const read = /^(.*?)(\d\d):(\d\d):(\d\d)(\.\d+)? UTC/.exec(mark.textContent) ?? [""];
    (read[1]?.match(/\d+|[A-Za-z]+/g) ?? []).forEach((field, i) => (fields[order[i]] = field));
    const { y = "", m = "", d } = fields;
    const century = y.length < 4 ? Math.round((new Date(near * 1000).getUTCFullYear() - y) / 100) * 100 : 0;
    const named = "JanFebMarAprMayJunJulAugSepOctNovDec".indexOf(m), month = isNaN(m) ? (named % 3 ? NaN : named / 3) : m - 1;
    const time = Date.UTC(+y + century, month, d, read[2], read[3], read[4]) / 1000 + +(read[5] ?? 0);
    return Math.abs(time - near) < (whole[1] - whole[0]) / 500 ? time : near;
  };
  // Seconds, or (below zero) months, as on the whole-run axis.
  const steps = [60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800, 604800, 1209600,
    -1, -2, -3, -6, -12, -24, -60, -120, -240, -600, -1200, -2400, -6000];
  const ticks = ([from, to]) => {
    const step = steps.find((s) => (to - from) / (s > 0 ? s : -s * 2629746) + 1 <= 8) ?? -6000, list = [];
    if (step < 0) {
      const start = new Date(from * 1000);
      let month = Math.ceil((start.getUTCFullYear() * 12 + start.getUTCMonth() + 1) / -step) * -step;
      for (let at; (at = Date.UTC(Math.floor(month / 12), month % 12, 1) / 1000) <= to; month -= step) {
        list.push([at, iso(at).slice(0, step % 12 ? 7 : 4), ""]);
      }
    } else {
      // From 1601-01-01, a Monday at midnight: weeks start on Mondays.
      for (let at = Math.ceil((from + 11644473600) / step) * step - 11644473600, day = ""; at <= to; at += step) {
        const date = iso(at).slice(0, 10);
        list.push(step >= 86400 ? [at, date, ""] : [at, iso(at).slice(11, 16), date === day ? "" : date]);
        day = date;
      }
    }
    const [count, unit] = step < 0 ? (step % 12 ? [-step, "month"] : [-step / 12, "year"])
      : step % 604800 === 0 ? [step / 604800, "week"] : step >= 86400 ? [step / 86400, "day"]
      : step >= 3600 ? [step / 3600, "hour"] : [step / 60, "minute"];
    return [list, `${count} ${unit}${count === 1 ? "" : "s"}`];
  };
  const svg = (parent, tag, attributes, text = "") => {
    const element = document.createElementNS("http://www.w3.org/2000/svg", tag);
    for (const [name, value] of Object.entries(attributes)) element.setAttribute(name, value);
    element.textContent = text;
    return parent.appendChild(element);
  };
  const bar = document.createElement("div"), shown = document.createElement("span"), buttons = {};
  bar.className = "zoom";
  const full = () => view[1] - view[0] >= (whole[1] - whole[0]) * 0.999999;
  const settle = () => {
    shown.textContent = `${iso(view[0]).slice(0, 19)} to ${iso(view[1]).slice(0, 19)} UTC`;
    buttons.in.disabled = view[1] - view[0] <= shortest * 1.000001;
    buttons.out.disabled = buttons.whole.disabled = full();
    buttons.earlier.disabled = view[0] <= whole[0];
    buttons.later.disabled = view[1] >= whole[1];
    buttons.back.disabled = back.length === 0;
  };
  const draw = () => {
    times ??= [...marks].map(timeOf);
    const [list, step] = ticks(view);
    axis.replaceChildren(...axis.querySelectorAll(".utc"));
    for (const [at, label, date] of list) {
      const x = xOf(at).toFixed(1);
      svg(axis, "line", { class: "tick", x1: x, x2: x, y1: 33, y2: 40 });
      svg(axis, "text", { x, y: 14 }, label);
      if (date) svg(axis, "text", { class: "date", x, y: 28 }, date);
    }
    grid.setAttribute("d", list.map(([at]) => `M${xOf(at).toFixed(1)} 0V${height}`).join(""));
    marks.forEach((mark, i) => {
      const x = xOf(times[i]);
      mark.setAttribute("cx", x.toFixed(1));
      mark.classList.toggle("off", !(x >= left && x <= right));
    });
    if (note) note.textContent = note.textContent.replace(/ticks every [^.]*/, `ticks every ${step}`);
    settle();
  };
  // Kept inside the run's span, at least two minutes long.
  const show = (from, to, remember) => {
    const span = Math.min(Math.max(to - from, shortest), whole[1] - whole[0]);
    const start = Math.max(Math.min((from + to - span) / 2, whole[1] - span), whole[0]);
    if (remember) back.push(view);
    view = [start, start + span];
    draw();
  };
  const zoom = (factor) => {
    const middle = (view[0] + view[1]) / 2, half = ((view[1] - view[0]) * factor) / 2;
    show(middle - half, middle + half, true);
  };
  const pan = (part) => show(view[0] + (view[1] - view[0]) * part, view[1] + (view[1] - view[0]) * part, false);
  const actions = {
    in: ["Zoom in", () => zoom(0.5)], out: ["Zoom out", () => zoom(2)],
    earlier: ["\u25C0 Earlier", () => pan(-0.25)], later: ["Later \u25B6", () => pan(0.25)],
    back: ["Back", () => { view = back.pop() ?? whole; draw(); }], whole: ["Whole run", () => show(...whole, true)],
  };
  for (const [name, [label, act]] of Object.entries(actions)) {
    buttons[name] = bar.appendChild(document.createElement("button"));
    buttons[name].textContent = label;
    buttons[name].addEventListener("click", act);
  }
  bar.append(shown);
  bar.title = "Drag across the axis to show that span; drag across the rows, or press the arrow keys, to move it.";
  axis.before(bar);
  axis.tabIndex = 0;
  settle();
  const units = (element, event) => {
    const box = element.getBoundingClientRect();
    return Math.min(Math.max(((event.clientX - box.left) / box.width) * 1200, left), right);
  };
  axis.addEventListener("pointerdown", (event) => {
    if (event.button !== 0) return;
    const x = units(axis, event);
    drag = { x, pick: svg(axis, "rect", { class: "pick", x, y: 0, width: 0, height: 40 }) };
    event.preventDefault();
    axis.focus({ preventScroll: true });  // for the keys
  });
  rows.addEventListener("pointerdown", (event) => {
    if (event.button === 0) drag = { x: units(rows, event), view };
    axis.focus({ preventScroll: true });
  });
  addEventListener("pointermove", (event) => {
    if (drag && !(event.buttons & 1)) {  // let go outside the window
      drag.pick?.remove();
      drag = null;
    } else if (drag?.pick) {
      const x = units(axis, event);
      drag.pick.setAttribute("x", Math.min(x, drag.x));
      drag.pick.setAttribute("width", Math.abs(x - drag.x));
    } else if (drag) {
      const shift = timeAt(drag.x, drag.view) - timeAt(units(rows, event), drag.view);
      if (shift) show(drag.view[0] + shift, drag.view[1] + shift, false);
    }
  });
  addEventListener("pointerup", (event) => {
    if (drag?.pick) {
      drag.pick.remove();
      const [from, to] = [drag.x, units(axis, event)].sort((a, b) => a - b);
      if (to - from >= 3) show(timeAt(from), timeAt(to), true);
    }
    drag = null;
  });
  axis.closest("section").addEventListener("keydown", (event) => {
    const key = { ArrowLeft: "earlier", ArrowRight: "later", "+": "in", "=": "in", "-": "out", Backspace: "back", Home: "whole" }[event.key];
    if (!key || event.altKey || event.ctrlKey || event.metaKey) return;
    actions[key][1]();
    event.preventDefault();
  });
}
)SCRIPT";

// base64 of the SHA-256 of kPageScript, as the policy names it.
inline constexpr std::string_view kPageScriptHash = "MKLf1p6Bg9pRSzeBAF0gbWV7yacVvp7D6bmNDXwRAt0=";

inline constexpr std::string_view kPageStyle = R"STYLE(
:root{color-scheme:light;font:14px/1.4 system-ui,sans-serif;color:#1b1b1b;background:#fff}
body{margin:0 auto;padding:12px 24px 24px;max-width:1800px;display:flex;flex-direction:column}
.page-head{order:1}.run{order:2}.timeline{order:3}.failed{order:4}.files{order:5}
h1{font-size:20px;margin:0 0 4px}
h2{font-size:16px;margin:14px 0 6px;padding-bottom:2px;border-bottom:1px solid #ccd}
.legend{margin:2px 0;color:#333}
.legend svg{width:14px;height:14px;vertical-align:-2px}
dl{display:grid;grid-template-columns:max-content 1fr;gap:2px 16px;margin:0}
dt{font-weight:600}dd{margin:0}
svg.axis,svg.rows{display:block;width:100%;height:auto}
.scroll{max-height:70vh;overflow-y:auto;border:1px solid #dde}
svg text{font:11px system-ui,sans-serif;fill:#222}
svg.axis text{text-anchor:middle}svg.axis text.utc{text-anchor:start;font-weight:600}svg.axis text.date{fill:#666}
.tick{stroke:#889}.grid{stroke:#e4e6ea;fill:none}.band{fill:#f4f6f9}
.mark,.key{fill:#fff;stroke:#4a6fa5;stroke-width:1.5}.mark.last,.key.last{fill:#c0392b;fill-opacity:.85;stroke:#7b1d13}
.note{color:#444;margin:4px 0}.warn{color:#a3261b}
.wide{overflow-x:auto}
table{border-collapse:collapse;width:100%;table-layout:fixed;min-width:960px}
th,td{border-bottom:1px solid #dde;padding:3px 6px;text-align:left;vertical-align:top;overflow-wrap:anywhere}
th{background:#eef1f5}
#files th:nth-child(1){width:15%}#files th:nth-child(2){width:12%}#files th:nth-child(3){width:5%}
#files th:nth-child(4){width:11%}#files th:nth-child(5){width:24%}#files th:nth-child(6){width:9%}
#files th:nth-child(7){width:9%}#files th:nth-child(8){width:15%}
.more td{border-bottom:1px solid #bbc;padding-top:0;font-size:13px;color:#333}
#files tbody tr:first-child td{border-bottom:0}
td small{display:block;color:#555}
td[data-k]{font-variant-numeric:tabular-nums}
.verified{color:#1d6b2f;font-weight:600}
summary{cursor:pointer}
details p{margin:6px 0 2px;font-weight:600}
details ol{margin:2px 0 6px;padding-left:3.4em;font:12px/1.35 ui-monospace,monospace;columns:36em}
.failed li{overflow-wrap:anywhere}
.sort-hint{display:none}.js .sort-hint{display:inline}
.zoom{display:flex;flex-wrap:wrap;align-items:center;gap:4px;margin:0 0 4px}.zoom span{margin-left:8px;font-variant-numeric:tabular-nums}
.zoom button{font:inherit;padding:1px 8px}
.js svg.axis{cursor:crosshair;touch-action:none}.js svg.rows{cursor:grab;touch-action:pan-y}
.pick{fill:#4a6fa5;fill-opacity:.2;stroke:#4a6fa5}.mark.off{display:none}
.js th{cursor:pointer}.js th[aria-sort=ascending]::after{content:" \25B2"}.js th[aria-sort=descending]::after{content:" \25BC"}
@media print{
body{max-width:none;padding:0}
.scroll{max-height:none;overflow:visible;border:0}
.wide{overflow:visible}
table{min-width:0}
th,td,.more td{font-size:10px;padding:2px 3px}
tr{break-inside:avoid}
.sort-hint,.js .sort-hint,.zoom button{display:none}
}
)STYLE";

}  // namespace kerf
