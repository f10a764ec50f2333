// web_pages.h - the pages of the status server, made from one snapshot.
//
// statusJson: the status of the night (fields in the README).
// indexHtml: one self-contained page (no outside scripts, fonts or styles):
//   the status line, the sky as inline SVG, the records and tonight's plan.
//   Its script asks for the page again every few seconds and swaps the new
//   content in, so there is one renderer of the chart, here. With a stop
//   key, the button "Stop the night and park" while the night runs: it asks
//   for a confirmation, posts to /stop with the key (web_access.h), and the
//   page says "stopping: parking the mount" until the night has ended.
// skySvg: the chart alone: zenith in the middle, north up, east left,
//   altitude rings at 30 and 60 degrees, the sector where targets are chosen
//   shaded; free targets white, observed grey, the current one ringed red,
//   the next goto ringed amber, the mount's last reported position a cross
//   labelled with the time of the report; a legend under the horizon.
//   Every time on the page is the night's clock, with its zone.
#pragma once

#include <string>

#include "web/web_source.h"

namespace vantrel {

std::string statusJson(const WebSnapshot& snapshot);
// Tonight's plan: every pointing, the rows never observed and why.
std::string planJson(const WebSnapshot& snapshot);
std::string planHtml(const WebSnapshot& snapshot);
std::string indexHtml(const WebSnapshot& snapshot, const std::string& stopKey = "");
// `status` (may be null): the next goto and the mount's reported position.
std::string skySvg(const SkyView& sky, const NightStatus* status = nullptr);

// Seconds between two requests of the page's script.
inline constexpr int pageRefreshSeconds = 2;

}  // namespace vantrel
