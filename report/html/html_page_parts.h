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
)SCRIPT";

// base64 of the SHA-256 of kPageScript, as the policy names it.
inline constexpr std::string_view kPageScriptHash = "4CQfPR7qwkaHcCzdye7ZygkOXFhs/2PJHVcEbIcMvMc=";

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
.js th{cursor:pointer}.js th[aria-sort=ascending]::after{content:" \25B2"}.js th[aria-sort=descending]::after{content:" \25BC"}
@media print{
body{max-width:none;padding:0}
.scroll{max-height:none;overflow:visible;border:0}
.wide{overflow:visible}
table{min-width:0}
th,td,.more td{font-size:10px;padding:2px 3px}
tr{break-inside:avoid}
.sort-hint,.js .sort-hint{display:none}
}
)STYLE";

}  // namespace kerf
