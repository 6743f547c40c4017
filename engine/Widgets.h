// The few window objects that the engine, the evaluation loader and the opening book touch
// while they work. The engine library knows them only through these interfaces; the Qt
// window implements them, tests use the recording versions, the command line the null ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morvane {

// A status bar with numbered text panels.
class TStatusBar {
 public:
  virtual ~TStatusBar() = default;
  virtual void SetPanelText(int panel, const std::string& text) = 0;
};

// A progress bar with a caption shown inside it.
class TProgressBar {
 public:
  virtual ~TProgressBar() = default;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;
  virtual void SetPosition(int position) = 0;
  virtual int Position() const = 0;
  virtual void SetMax(int max) = 0;
  virtual int Max() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual std::string Caption() const = 0;
  // Advances the position by one step.
  void StepIt() { SetPosition(Position() + 1); }
};

// Runs queued timer ticks, clicks and repaints from inside long work (searches, loading,
// learning), so that the window stays alive and "Force move" can stop a search.
class TEventPump {
 public:
  virtual ~TEventPump() = default;
  virtual void ProcessPendingEvents() = 0;
};

// Shows a modal information box with one OK button.
class TMessageSink {
 public:
  virtual ~TMessageSink() = default;
  virtual void ShowMessage(const std::string& text) = 0;
};

// The process-wide pump and message sink; both default to doing nothing. The window installs
// its own at start-up and removes them when it closes.
void SetEventPump(TEventPump* pump);
void ProcessPendingEvents();
void SetMessageSink(TMessageSink* sink);
void ShowMessage(const std::string& text);

// A status bar that remembers every text written to it.
class TRecordingStatusBar final : public TStatusBar {
 public:
  explicit TRecordingStatusBar(int panels = 4) : Panels(panels) {}
  void SetPanelText(int panel, const std::string& text) override;
  const std::string& Text(int panel) const { return Panels.at(panel); }
  std::vector<std::string> Panels;
  std::vector<std::pair<int, std::string>> History;
};

// A progress bar that only holds its state.
class TRecordingProgressBar final : public TProgressBar {
 public:
  void SetEnabled(bool enabled) override { IsEnabled = enabled; }
  bool Enabled() const override { return IsEnabled; }
  void SetVisible(bool visible) override { IsVisible = visible; }
  bool Visible() const override { return IsVisible; }
  void SetPosition(int position) override { CurrentPosition = position; }
  int Position() const override { return CurrentPosition; }
  void SetMax(int max) override { Maximum = max; }
  int Max() const override { return Maximum; }
  void SetCaption(const std::string& caption) override { CurrentCaption = caption; }
  std::string Caption() const override { return CurrentCaption; }

  bool IsEnabled = false;
  bool IsVisible = false;
  int CurrentPosition = 0;
  int Maximum = 100;
  std::string CurrentCaption;
};

// Counts how often pending events were processed; optionally runs a callback each time.
class TRecordingEventPump final : public TEventPump {
 public:
  void ProcessPendingEvents() override;
  int64_t Calls = 0;
  void (*OnPump)(void* context) = nullptr;
  void* Context = nullptr;
};

// Collects the texts of message boxes instead of showing them.
class TRecordingMessageSink final : public TMessageSink {
 public:
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  std::vector<std::string> Messages;
};

// Installs a pump or sink for the lifetime of a scope and restores the previous one after.
class TScopedEventPump {
 public:
  explicit TScopedEventPump(TEventPump* pump);
  ~TScopedEventPump();
  TScopedEventPump(const TScopedEventPump&) = delete;
  TScopedEventPump& operator=(const TScopedEventPump&) = delete;

 private:
  TEventPump* Previous;
};

class TScopedMessageSink {
 public:
  explicit TScopedMessageSink(TMessageSink* sink);
  ~TScopedMessageSink();
  TScopedMessageSink(const TScopedMessageSink&) = delete;
  TScopedMessageSink& operator=(const TScopedMessageSink&) = delete;

 private:
  TMessageSink* Previous;
};

// Returns the pump currently installed (null when none).
TEventPump* CurrentEventPump();
TMessageSink* CurrentMessageSink();

}  // namespace morvane
