// The engine following a set of cabinets in one FDICopy (kCopyFollowSet):
// a stored folder continued across three cabinets, files that span two or
// three of them, files of a later cabinet inside the continued folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "cabinet/cab_format.h"
#include "cabinet/fdi.h"
#include "tests/cabinet/cab_set_builder.h"

namespace {

using Cabinets = std::map<std::string, std::vector<uint8_t>>;

// a and b in the first cabinet, c from the first through the third, d and
// e in the third (inside the continued folder), f from the third to the
// fourth.
cabtest::CabinetSet FourCabinets() {
  return cabtest::BuildStoredSet({{"a", 1500}, {"b", 700}, {"c", 4300}, {"d", 900}, {"e", 0}, {"f", 2500}},
                                 {3, 2, 3, 3}, {"memory.cab", "v2.cab", "v3.cab", "v4.cab"});
}

struct Decisions {
  std::string skip;       // a copy-file answered 0
  std::string refuse;     // a next cabinet answered -1
};
Decisions g_decisions;
intptr_t Decide(const fdi::Notification& n) { return g_decisions.skip == n.name1 ? 0 : 1; }
intptr_t DecideNext(const fdi::Notification& n) { return g_decisions.refuse == n.name1 ? -1 : 0; }

cabtest::EngineRun Follow(const Cabinets& cabinets, int flags = fdi::kCopyFollowSet, Decisions d = {}) {
  g_decisions = d;
  cabtest::EngineRun run;
  cabtest::internal::MemoryState& s = cabtest::internal::State();
  s = cabtest::internal::MemoryState();
  s.set = &cabinets;
  s.run = &run;
  s.decide = Decide;
  s.decide_next = DecideNext;
  namespace m = cabtest::internal;
  fdi::Context* ctx =
      fdi::FDICreate(m::Alloc, m::Free, m::Open, m::Read, m::Write, m::Close, m::Seek, fdi::kCpu80386, &run.error);
  if (!ctx) return run;
  run.ok = fdi::FDICopy(ctx, "memory.cab", "", flags, m::Notify, nullptr, nullptr);
  fdi::FDIDestroy(ctx);
  run.leaked_handles = s.open.size();
  s = cabtest::internal::MemoryState();
  return run;
}

TEST(FdiSet, FollowsTheSetInOneCopy) {
  const cabtest::CabinetSet set = FourCabinets();
  struct Case {
    const char* what;
    int flags;
    Decisions decisions;
    std::vector<std::string> extracted;
    std::vector<std::string> next_cabinets;
  };
  const std::vector<Case> cases = {
      {"followed", fdi::kCopyFollowSet, {}, {"a", "b", "c", "d", "e", "f"}, {"v2.cab", "v3.cab", "v4.cab"}},
      // Without the flag, the first cabinet's table only (as always).
      {"first cabinet only", 0, {}, {"a", "b", "c"}, {"v2.cab", "v3.cab"}},
      // Nothing decoded the continued folder before d: it is decoded again
      // from where it starts, in the first cabinet.
      {"spanning file skipped", fdi::kCopyFollowSet, {"c", ""}, {"a", "b", "d", "e", "f"}, {"v2.cab", "v3.cab", "v4.cab"}},
      {"only the last", fdi::kCopyFollowSet, {"a", ""}, {"b", "c", "d", "e", "f"}, {"v2.cab", "v3.cab", "v4.cab"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const cabtest::EngineRun run = Follow(set.cabinets, c.flags, c.decisions);
    ASSERT_TRUE(run.ok) << run.error.code << " " << run.error.detail;
    EXPECT_EQ(run.leaked_handles, 0u);
    std::vector<std::string> names;
    for (const auto& f : run.files) names.push_back(f.first);
    EXPECT_EQ(names, c.extracted);
    for (const std::string& name : c.extracted) EXPECT_EQ(run.files.at(name), set.files.at(name)) << name;
    EXPECT_EQ(run.next_cabinets, c.next_cabinets);
    EXPECT_EQ(std::count(run.notifications.begin(), run.notifications.end(), fdi::kCabinetInfo),
              c.flags ? 4 : 1);
  }
}

TEST(FdiSet, AFaultyLaterCabinetStopsTheCopyThere) {
  struct Case {
    const char* what;
    std::string cabinet;  // replaced or removed
    std::vector<uint8_t> bytes;
    bool remove;
    std::string refuse;
    int32_t code;
  };
  const cabtest::CabinetSet set = FourCabinets();
  std::vector<uint8_t> other_index = set.cabinets.at("v4.cab");
  other_index[34] = 7;
  const std::vector<Case> cases = {
      {"missing", "v3.cab", {}, true, "", fdi::kErrorCabinetNotFound},
      {"not a cabinet", "v3.cab", cabtest::Bytes("no cabinet here, only some text........"), false, "",
       fdi::kErrorNotACabinet},
      {"another cabinet of the set", "v4.cab", other_index, false, "", fdi::kErrorWrongCabinet},
      {"refused by the caller", "", {}, false, "v3.cab", fdi::kErrorUserAbort},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Cabinets cabinets = set.cabinets;
    if (c.remove) cabinets.erase(c.cabinet);
    else if (!c.cabinet.empty()) cabinets[c.cabinet] = c.bytes;
    Decisions d;
    d.refuse = c.refuse;
    const cabtest::EngineRun run = Follow(cabinets, fdi::kCopyFollowSet, d);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(run.error.code, c.code);
    EXPECT_EQ(run.leaked_handles, 0u);
    // What lay wholly before the faulty cabinet was written and closed.
    EXPECT_EQ(run.files.at("a"), set.files.at("a"));
    EXPECT_EQ(run.files.at("b"), set.files.at("b"));
    EXPECT_EQ(run.closed.count("f"), 0u);
  }
}

}  // namespace
