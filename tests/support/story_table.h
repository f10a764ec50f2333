// A table of stories: each row drives a rig by its `act` and is judged by the
// rig's transcript, compared whole, or up to a final "..." where a long
// message goes on. A fault ends the story and is told with its exit status.
#pragma once

#include <gtest/gtest.h>

#include "platform/fault.h"

namespace vantrel {

template <class Rig>
struct Story {
  const char* what;
  void (*act)(Rig&);
  std::string want;
};

template <class Rig>
void tell(const std::vector<Story<Rig>>& stories) {
  for (const Story<Rig>& story : stories) {
    Rig rig;
    try {
      story.act(rig);
    } catch (const Fault& fault) {
      rig.note("fault " + std::to_string(static_cast<int>(fault.status())) + ": " + fault.what());
    }
    const std::string got = rig.told(), cut = got.substr(0, story.want.size() - 3) + "...";
    EXPECT_EQ(story.want.ends_with("...") ? cut : got, story.want) << story.what;
  }
}

}  // namespace vantrel
