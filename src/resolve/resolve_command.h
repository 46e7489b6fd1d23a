#pragma once

#include "form/endpoints.h"
#include "form/form.h"
#include "form/globals.h"

#include <chrono>
#include <optional>

namespace quorvane {

// The tool's main path: the link in the link box to the file's name, download address
// and size in the window, with the elapsed time shown while it runs. Its state lives
// in the window's controls, some of them off the visible area.
class ResolveCommand {
 public:
  // `resolverTimeout` limits the resolver request; omitted, the web access default holds.
  ResolveCommand(Form& form, ProgramGlobals& globals, const Endpoints& endpoints,
                 std::optional<std::chrono::milliseconds> resolverTimeout = {})
      : form_(form), globals_(globals), endpoints_(endpoints), resolverTimeout_(resolverTimeout) {}

  // A click of the resolve button.
  void StartResolve();
  // A key pressed in the link box: Enter (13) resolves.
  void LinkBoxKeyDown(int keyCode);
  // A tick of the elapsed-time timer.
  void TickElapsedTime();

 private:
  void ResolveLink();
  void ShowSize();
  void FailureEnd();
  void NormalEnd();

  Form& form_;
  ProgramGlobals& globals_;
  const Endpoints& endpoints_;
  std::optional<std::chrono::milliseconds> resolverTimeout_;
};

}  // namespace quorvane
