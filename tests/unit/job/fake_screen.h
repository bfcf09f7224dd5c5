// A screen for the engine's tests: installed for its lifetime, it records the error messages the
// engine shows and reports only the keys a test put in `down` as held.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "job/screen.h"

namespace JobLayer::testing_support {

class FakeScreen : public JobScreen {
 public:
  FakeScreen() { SetScreen(this); }
  ~FakeScreen() override { SetScreen(nullptr); }
  FakeScreen(const FakeScreen&) = delete;
  FakeScreen& operator=(const FakeScreen&) = delete;

  void ShowError(const RawString& message) override { messages.push_back(message.ToUtf8()); }
  bool IsKeyDown(int virtualKey) override { return down.count(virtualKey) > 0; }

  // The messages' first lines, in order.
  std::vector<std::string> Heads() const {
    std::vector<std::string> heads;
    for (const std::string& m : messages) heads.push_back(m.substr(0, m.find('\r')));
    return heads;
  }

  std::vector<std::string> messages;
  std::set<int> down;
};

}  // namespace JobLayer::testing_support
