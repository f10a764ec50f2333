#include "web/web_pages.h"

#include "web/json_text.h"
#include "zone/civil_zone.h"

namespace vantrel {
namespace {

// The night's own status line, with the summary or the fault at the end.
std::string statusLineOf(const WebSnapshot& s) {
  return s.status.message.empty() ? statusLine(s.status) : statusLine(s.status) + " | " + s.status.message;
}

// The night's clock with its zone, as the night's own texts read it: "20:07:33
// Asia/Tokyo (UTC+09:00)", or "20:07:33 UTC+01:00" for a zone named by its
// offset. A watcher's browser may stand in another zone, or be wrong.
std::string nightClockText(std::int64_t civilSeconds) {
  const CivilZone& zone = civilZone();
  std::string offset = offsetText(zone.offsetMsAt(zone.utcMs(civilSeconds * 1000)));
  std::string name = zone.name();
  return clockText(civilSeconds) + " " + (name.empty() || name == offset ? offset : name + " (" + offset + ")");
}

std::string timeJson(std::int64_t civilSeconds) {
  return civilSeconds > 0 ? jsonString(clockText(civilSeconds)) : std::string("null");
}

// The fields of the night's status board.
std::string nightJson(const NightStatus& n) {
  std::string json = ",\"phase\":" + jsonString(phaseName(n.phase)) + ",\"now\":" + timeJson(n.nowSeconds) +
                     ",\"phaseSince\":" + timeJson(n.phaseSinceSeconds) + ",\"row\":" +
                     (n.row > 0 ? std::to_string(n.row) : "null") + ",\"target\":" +
                     (n.row > 0 ? jsonString(n.targetName) : "null") +
                     ",\"dwellElapsedSeconds\":" + std::to_string(n.dwellElapsedSeconds) +
                     ",\"dwellTotalSeconds\":" + std::to_string(n.dwellTotalSeconds) + ",\"reported\":";
  if (n.reported) {
    json += "{\"decDeg\":" + jsonNumber(n.reportedDecDeg) + ",\"ageSeconds\":" +
            std::to_string(positionAgeSeconds(n)) + ",\"az\":" + jsonNumber(n.mountAzDeg) +
            ",\"alt\":" + jsonNumber(n.mountAltDeg) + "}";
  } else {
    json += "null";
  }
  json += ",\"nightEnds\":" + (n.nightEndText.empty() ? std::string("null") : jsonString(n.nightEndText)) +
          ",\"parked\":" + (n.parked ? "true" : "false") + ",\"next\":";
  if (!n.next.known) {
    json += "null";
  } else if (n.next.nightEndsFirst) {
    json += "{\"nightEndsFirst\":true,\"at\":" + timeJson(n.next.atSeconds) + "}";
  } else {
    json += "{\"nightEndsFirst\":false,\"at\":" + timeJson(n.next.atSeconds) + ",\"row\":" +
            std::to_string(n.next.row) + ",\"target\":" + jsonString(n.next.targetName) + "}";
  }
  json += ",\"message\":" + jsonString(n.message);
  // Only a night that watches a weather device says what it last read.
  if (!n.weather.watched) return json;
  return json + ",\"weather\":{\"state\":" + jsonString(n.weather.state) + ",\"why\":" + jsonString(n.weather.why) +
         ",\"since\":" + timeJson(n.weather.sinceSeconds) + "}";
}

std::string skyJson(const SkyView& sky) {
  std::string json = "{\"time\":" + jsonString(sky.timeText) + ",\"minAltitude\":" + jsonNumber(sky.minAltitude) +
                     ",\"current\":" + (sky.chosenIndex >= 0 ? std::to_string(sky.chosenIndex + 1) : "null") +
                     ",\"points\":[";
  for (std::size_t i = 0; i < sky.points.size(); ++i) {
    const SkyView::Point& p = sky.points[i];
    json += (i ? ",{\"az\":" : "{\"az\":") + jsonNumber(p.azDeg) + ",\"alt\":" + jsonNumber(p.altDeg) +
            ",\"observed\":" + (p.observed ? "true}" : "false}");
  }
  return json + "]}";
}

const char* const pageStyle =
    "body{font:15px/1.4 system-ui,sans-serif;margin:0 auto;max-width:46em;padding:0 .8em;background:#10131a;"
    "color:#e8e8e8}h1{font-size:1.1em;margin:.8em 0 .2em}h2{font-size:1em;margin:1em 0 .3em}"
    "#live{color:#9aa;font-size:.85em;margin:0}#live.lost{color:#f77}"
    "svg{width:100%;max-width:28em;display:block;margin:.5em auto}"
    ".horizon{fill:#1b2130;stroke:#778}.ring{fill:none;stroke:#445;stroke-dasharray:2 2}"
    ".window{fill:#2a3a55}.free{fill:#fff}.observed{fill:#777}.current{fill:none;stroke:#f33;stroke-width:1.5}"
    ".next{fill:none;stroke:#fc3;stroke-width:1.2;stroke-dasharray:2 1.5}.mount{fill:none;stroke:#4cf;stroke-width:1.5}"
    ".mountlabel{fill:#4cf;font-size:7px}.legend{fill:#ccd;font-size:7px}.label{fill:#889;font-size:7px}"
    ".compass{fill:#ccd;font-size:9px;text-anchor:middle}"
    "ol{padding-left:2.2em;font:12px/1.35 ui-monospace,monospace;overflow-wrap:anywhere}";

// Asks for the page again and swaps in its content; says when the program
// cannot be reached, and keeps the last content on the screen. Times are the
// night's clock of the last content received (its data-clock), never the
// browser's: one clock on the page.
const char* const pageScript =
    "(function(){var live=document.getElementById('live'),"
    "last=document.getElementById('night').getAttribute('data-clock');"
    "function poll(){fetch(location.pathname,{cache:'no-store',credentials:'same-origin'})"
    ".then(function(r){if(!r.ok)throw new Error('HTTP '+r.status);return r.text();})"
    ".then(function(html){var doc=new DOMParser().parseFromString(html,'text/html');"
    "var fresh=doc.getElementById('night');if(fresh){document.getElementById('night').replaceWith(fresh);"
    "last=fresh.getAttribute('data-clock');}live.className='';live.textContent=last?'live at '+last:'live';})"
    ".catch(function(e){live.className='lost';live.textContent='no contact with vantrel'+"
    "(last?' since '+last:'')+' ('+e.message+')';})"
    ".finally(function(){setTimeout(poll,REFRESH_MS);});}"
    "poll();})();";

// The stop button, for a page with a stop key. Its box is swapped with the
// rest of the night at every refresh: it shows the button while the night
// runs and carries the phase, so that the page keeps saying it is stopping
// until the night has ended.
const char* const stopScript =
    "(function(){var note=document.getElementById('stopnote'),stopping=false;"
    "function show(){var box=document.getElementById('stop'),phase=box?box.getAttribute('data-phase'):'';"
    "if(phase==='ended'||phase==='fault'){if(stopping)note.textContent='';stopping=false;}"
    "if(stopping&&box){box.textContent='';note.textContent='stopping: parking the mount';}}"
    "new MutationObserver(show).observe(document.body,{childList:true});"
    "document.addEventListener('click',function(e){var b=e.target.closest&&e.target.closest('#stop button');"
    "if(!b||stopping||!confirm('Stop the night and park the mount now?'))return;"
    "fetch('/stop',{method:'POST',cache:'no-store',credentials:'same-origin',"
    "headers:{'X-Vantrel-Stop':b.getAttribute('data-key')}})"
    ".then(function(r){return r.text().then(function(t){"
    "if(!r.ok&&r.status!==409)throw new Error(t.trim()||'HTTP '+r.status);stopping=true;show();});})"
    ".catch(function(err){note.textContent='the night was not stopped: '+err.message;});});})();";

bool nightRuns(NightPhase phase) {
  return phase != NightPhase::parking && phase != NightPhase::ended && phase != NightPhase::fault;
}

}  // namespace

std::string statusJson(const WebSnapshot& s) {
  std::string json = "{\"version\":" + std::to_string(s.version) + ",\"title\":" + jsonString(s.title) +
                     ",\"status\":" + jsonString(statusLineOf(s)) + ",\"observed\":" +
                     std::to_string(s.status.observedCount) + ",\"targets\":" + std::to_string(s.status.targetCount) +
                     nightJson(s.status) + ",\"records\":[";
  for (std::size_t i = 0; i < s.lines.size(); ++i) json += (i ? "," : "") + jsonString(s.lines[i]);
  json += "],\"sky\":" + (s.hasSky ? skyJson(s.sky) : std::string("null"));
  return json + "}\n";
}

std::string indexHtml(const WebSnapshot& s, const std::string& stopKey) {
  // The night's clock of this content, for the script's "live at" and "since".
  std::string clock = s.status.nowSeconds > 0 ? nightClockText(s.status.nowSeconds) : "";
  std::string script = pageScript;
  script.replace(script.find("REFRESH_MS"), 10, std::to_string(pageRefreshSeconds * 1000));
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
      "<title>Vantrel</title><style>" + std::string(pageStyle) + "</style></head><body>"
      "<p id=\"live\">waiting for the first update</p>" +
      (stopKey.empty() ? "" : "<p id=\"stopnote\"></p>") + "<main id=\"night\"" +
      (clock.empty() ? "" : " data-clock=\"" + htmlText(clock) + "\"") +
      "><h1 id=\"status\">" +
      htmlText(statusLineOf(s)) + "</h1><p>" +
      std::to_string(s.status.observedCount) + " of " + std::to_string(s.status.targetCount) + " targets observed</p>";
  if (!stopKey.empty()) {
    html += "<p id=\"stop\" data-phase=\"" + htmlText(phaseName(s.status.phase)) + "\">" +
            (nightRuns(s.status.phase)
                 ? "<button type=\"button\" data-key=\"" + htmlText(stopKey) + "\">Stop the night and park</button>"
                 : std::string()) +
            "</p>";
  }
  html += s.hasSky ? skySvg(s.sky, &s.status) : "<p>no sky yet: the night has not made its first pass</p>";
  // Numbered as the night numbers its lines, when the first ones were let go.
  html += "<h2>Records</h2><ol id=\"records\"" +
          (s.droppedLines > 0 ? " start=\"" + std::to_string(s.droppedLines + 1) + "\"" : std::string()) + ">";
  for (const std::string& line : s.lines) html += "<li>" + htmlText(line) + "</li>";
  html += "</ol>" + planHtml(s) + "</main><script>" + script + (stopKey.empty() ? "" : stopScript) +
          "</script></body></html>\n";
  return html;
}

}  // namespace vantrel
