// The Win32 views of the three settings dialogs: modeless dialog windows (Tab between the
// controls, Enter is Save, Escape and the close box are Cancel) that render their model's
// controls and forward the user's events to it. Every control's ID is named after its model
// control (control_ids.h).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/form_controls.h"
#include "widgets.h"

namespace tarnwick {
class AlertSettingModel;
class SmtpServerModel;
class PgmSetupModel;
}  // namespace tarnwick

namespace tarnwick::win32 {

class DialogView {
 public:
  virtual ~DialogView();
  DialogView(const DialogView&) = delete;
  DialogView& operator=(const DialogView&) = delete;

  HWND hwnd() const { return dialog_; }
  // Brings every control in line with the model.
  virtual void Render() = 0;
  // Shows the dialog the first time, centred where the model centres it, and in front.
  void ShowOnce();

 protected:
  // `renderAll` renders every window after an event: a dialog's handlers change the main window
  // too.
  explicit DialogView(std::function<void()> renderAll) : renderAll_(std::move(renderAll)) {}
  // Makes the window; the derived view calls it at the end of its constructor.
  void Create(HWND owner, std::string_view title);
  // Creates the controls.
  virtual void Build() = 0;
  // Places the controls; returns the client size.
  virtual SIZE LayOut(const Metrics& m) = 0;
  virtual void OnCommand(int id, int code) = 0;
  // Escape, the close box and the Cancel button.
  virtual void OnCancel() = 0;
  virtual const FormGeometry& Geometry() const = 0;
  // Messages a dialog handles beyond commands; true when handled, with its result.
  virtual bool OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

  // Runs a model handler and renders every window; ignored while rendering.
  void Forward(const std::function<void()>& handler);
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  // A click of the mouse into a control runs `handler` (before the control takes the click).
  void OnClickInto(HWND control, std::function<void()> handler);

  HWND dialog_ = nullptr;
  std::unique_ptr<Metrics> metrics_;
  std::function<void()> renderAll_;
  bool rendering_ = false;

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ClickProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR data);
  void ApplyMetrics();
  std::vector<std::unique_ptr<std::function<void()>>> clickHandlers_;
  bool shown_ = false;
};

class AlertSettingDialog final : public DialogView {
 public:
  AlertSettingDialog(AlertSettingModel& model, std::function<void()> renderAll, HWND owner);
  ~AlertSettingDialog() override;
  void Render() override;

 private:
  void Build() override;
  SIZE LayOut(const Metrics& m) override;
  void OnCommand(int id, int code) override;
  void OnCancel() override;
  const FormGeometry& Geometry() const override;
  bool OnOtherMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  AlertSettingModel& model_;
  HCURSOR handCursor_ = nullptr;
  bool ownsHandCursor_ = false;
  HFONT underlined_ = nullptr;
  std::vector<HWND> frames_;
};

class SmtpServerDialog final : public DialogView {
 public:
  SmtpServerDialog(SmtpServerModel& model, std::function<void()> renderAll, HWND owner);
  void Render() override;

 private:
  void Build() override;
  SIZE LayOut(const Metrics& m) override;
  void OnCommand(int id, int code) override;
  void OnCancel() override;
  const FormGeometry& Geometry() const override;

  SmtpServerModel& model_;
};

class PgmSetupDialog final : public DialogView {
 public:
  PgmSetupDialog(PgmSetupModel& model, std::function<void()> renderAll, HWND owner);
  void Render() override;

 private:
  void Build() override;
  SIZE LayOut(const Metrics& m) override;
  void OnCommand(int id, int code) override;
  void OnCancel() override;
  const FormGeometry& Geometry() const override;

  PgmSetupModel& model_;
};

}  // namespace tarnwick::win32
