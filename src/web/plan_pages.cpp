// Tonight's plan for the web: the rehearsal made before the night.
#include "web/json_text.h"
#include "web/web_pages.h"

namespace vantrel {
namespace {

const char* reasonName(NeverObservedReason reason) {
  return reason == NeverObservedReason::neverInWindow ? "never in the window" : "always beaten";
}

}  // namespace

std::string planJson(const WebSnapshot& s) {
  if (!s.plan) return "{\"plan\":null}\n";
  const NightPlan& plan = *s.plan;
  std::string json = "{\"plan\":{\"start\":" + jsonString(clockText(plan.startSeconds)) +
                     ",\"end\":" + jsonString(clockText(plan.endSeconds())) +
                     ",\"summary\":" + jsonString(describeRehearsal(plan.rehearsal, Tense::future)) +
                     ",\"pointings\":[";
  for (std::size_t i = 0; i < plan.pointings.size(); ++i) {
    const PlannedPointing& p = plan.pointings[i];
    json += (i ? ",{\"row\":" : "{\"row\":") + std::to_string(p.row) + ",\"target\":" + jsonString(p.targetName) +
            ",\"goto\":" + jsonString(clockText(p.gotoSeconds)) + ",\"dwellEnd\":" +
            jsonString(clockText(p.dwellEndSeconds)) + ",\"az\":" + jsonNumber(p.azDeg) + ",\"alt\":" +
            jsonNumber(p.altDeg) + "}";
  }
  json += "],\"neverObserved\":[";
  for (std::size_t i = 0; i < plan.neverObserved.size(); ++i) {
    const NeverObservedRow& r = plan.neverObserved[i];
    json += (i ? ",{\"row\":" : "{\"row\":") + std::to_string(r.row) + ",\"target\":" + jsonString(r.targetName) +
            ",\"reason\":" + jsonString(reasonName(r.reason)) + ",\"why\":" +
            jsonString(neverObservedText(r, plan.config)) + "}";
  }
  return json + "]}}\n";
}

std::string planHtml(const WebSnapshot& s) {
  if (!s.plan) return "<h2>Tonight's plan</h2><p>no plan: the night's files could not be rehearsed</p>";
  const NightPlan& plan = *s.plan;
  std::string html = "<h2>Tonight's plan</h2><p>" + htmlText(describeRehearsal(plan.rehearsal, Tense::future)) +
                     "</p><ol id=\"plan\">";
  for (const PlannedPointing& p : plan.pointings) {
    html += "<li>" + clockText(p.gotoSeconds) + "&ndash;" + clockText(p.dwellEndSeconds) + " row " +
            std::to_string(p.row) + " " + htmlText(targetLabel(p.targetName)) + "</li>";
  }
  html += "</ol>";
  if (!plan.neverObserved.empty()) {
    html += "<h2>" + htmlText(neverObservedCount(plan)) + "</h2><ul id=\"never\">";
    for (const NeverObservedRow& r : plan.neverObserved) {
      html += "<li>row " + std::to_string(r.row) + " " + htmlText(targetLabel(r.targetName)) + ": " +
              htmlText(neverObservedText(r, plan.config)) + "</li>";
    }
    html += "</ul>";
  }
  return html;
}

}  // namespace vantrel
