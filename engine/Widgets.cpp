#include "engine/Widgets.h"

#include "engine/SearchThreads.h"

namespace morvane {

namespace {
TEventPump* InstalledPump = nullptr;
TMessageSink* InstalledSink = nullptr;
}  // namespace

void SetEventPump(TEventPump* pump) { InstalledPump = pump; }
TEventPump* CurrentEventPump() { return InstalledPump; }

void ProcessPendingEvents() {
  // Window events belong to the window's thread; a helper thread's search only polls its stop.
  if (OnHelperThread()) return;
  if (InstalledPump) InstalledPump->ProcessPendingEvents();
}

void SetMessageSink(TMessageSink* sink) { InstalledSink = sink; }
TMessageSink* CurrentMessageSink() { return InstalledSink; }

void ShowMessage(const std::string& text) {
  if (InstalledSink) InstalledSink->ShowMessage(text);
}

void TRecordingStatusBar::SetPanelText(int panel, const std::string& text) {
  if (panel >= static_cast<int>(Panels.size())) Panels.resize(panel + 1);
  Panels[panel] = text;
  History.emplace_back(panel, text);
}

void TRecordingEventPump::ProcessPendingEvents() {
  ++Calls;
  if (OnPump) OnPump(Context);
}

TScopedEventPump::TScopedEventPump(TEventPump* pump) : Previous(CurrentEventPump()) {
  SetEventPump(pump);
}
TScopedEventPump::~TScopedEventPump() { SetEventPump(Previous); }

TScopedMessageSink::TScopedMessageSink(TMessageSink* sink) : Previous(CurrentMessageSink()) {
  SetMessageSink(sink);
}
TScopedMessageSink::~TScopedMessageSink() { SetMessageSink(Previous); }

}  // namespace morvane
