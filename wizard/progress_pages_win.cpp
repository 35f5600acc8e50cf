// The preparation window (template 107) and the install progress page
// (template 104). Neither does work: both poll, on a timer, the values the
// worker thread publishes, and close when it reports that it is done.
#include <windows.h>
#include <commctrl.h>

#include "config/expand.h"
#include "engine/external_programs.h"
#include "wizard/pages_win.h"

namespace {

enum ProgressControl {
  kCancel = IDC_CANCEL,
  kTotalBar = IDC_TOTAL_BAR,
  kFileBar = IDC_FILE_BAR,
  kStatusLine = IDC_STATUS_LINE,
  kPreparationBar = IDC_PREPARATION_BAR,
  kTotalLabel = IDC_TOTAL_LABEL,
};

constexpr UINT_PTR kTimer = 100;
constexpr UINT kPreparationPeriod = 50;
constexpr UINT kProgressPeriod = 40;
constexpr int kAnimationTicks = 400;

struct ProgressPage : PageBase {
  WorkerView worker;
  int totalPosition = 0;
  int filePosition = 0;
  std::string lastFile;
  WString lastExecMessage;
  int animation = 0;
};

void SetBar(HWND page, int id, int position) { SendDlgItemMessageW(page, id, PBM_SETPOS, position, 0); }

std::string CurrentFileName(const WorkerView& worker) {
  return worker.currentFileName ? worker.currentFileName() : std::string();
}

// The prompt the worker asks for (not running, or a volume to copy): answered
// here, on the page's thread, with the page as owner.
void AnswerPrompt(HWND page, const WorkerView& worker) {
  ResetEvent(worker.askEvent);
  const WorkerPrompt prompt = worker.prompt ? worker.prompt() : WorkerPrompt();
  const WString text = Expand(u"%" + WString(prompt.textId) + u"%", true);
  const WString caption = Expand(u"%" + WString(prompt.captionId) + u"%", true);
  const int answer = MessageBoxW(page, reinterpret_cast<const wchar_t*>(text.c_str()),
                                 reinterpret_cast<const wchar_t*>(caption.c_str()), prompt.flags);
  if (worker.promptAnswer) *worker.promptAnswer = answer;
  SetEvent(worker.answerEvent);
}

bool PromptAsked(const WorkerView& worker) {
  return worker.askEvent && worker.answerEvent && WaitForSingleObject(worker.askEvent, 0) == WAIT_OBJECT_0;
}

void ProgressTick(HWND page, ProgressPage* self) {
  const WorkerView& w = self->worker;
  if (w.exec && w.exec->Phase()) {
    const WString message = w.exec->Message();
    if (message != self->lastExecMessage) {
      self->lastExecMessage = message;
      SetWindowTextAny(GetDlgItem(page, kStatusLine), Expand(message, true));
      ShowWindow(GetDlgItem(page, kTotalBar), SW_HIDE);
      ShowWindow(GetDlgItem(page, kTotalLabel), SW_HIDE);
    } else {
      SetBar(page, kFileBar, self->animation / 4);
      if (++self->animation >= kAnimationTicks) self->animation = 0;
    }
    return;
  }
  ShowWindow(GetDlgItem(page, kTotalBar), SW_SHOW);
  ShowWindow(GetDlgItem(page, kTotalLabel), SW_SHOW);
  if (PromptAsked(w)) {
    KillTimer(page, kTimer);
    AnswerPrompt(page, w);
    SetTimer(page, kTimer, kProgressPeriod, nullptr);
  }
  const int total = *w.overallPercent * 90 / 100;
  const std::string file = CurrentFileName(w);
  if (file == self->lastFile) {
    const int target = *w.filePercent;
    if (self->filePosition != target) {
      self->filePosition += 25;
      if (self->filePosition > target) self->filePosition = target;
      SetBar(page, kFileBar, self->filePosition);
    }
  } else {
    self->lastFile = file;
    SetWindowTextAny(GetDlgItem(page, kStatusLine),
                     Expand(u"%INSTALL_DIALOG_EXTRACTING% ", true) + Widen(file) + u" ...");
    self->filePosition = self->filePosition > 75 ? 0 : 100;
    SetBar(page, kFileBar, self->filePosition);
  }
  if (total != self->totalPosition) {
    self->totalPosition = total;
    SetBar(page, kTotalBar, total);
  }
  if (*w.done) EndDialog(page, kPageNext);
}

// After a confirmed Cancel: the worker is not interrupted; the page waits
// for it, answering a not-running prompt it raises meanwhile (Cancel, since
// the user chose to stop).
void WaitForWorkerAfterCancel(HWND page, const WorkerView& w) {
  KillTimer(page, kTimer);
  while (!*w.done) {
    if (PromptAsked(w)) {
      ResetEvent(w.askEvent);
      if (w.promptAnswer) *w.promptAnswer = IDCANCEL;
      SetEvent(w.answerEvent);
    }
    Sleep(100);
  }
}

INT_PTR CALLBACK ProgressProcedure(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  INT_PTR result = FALSE;
  switch (message) {
    case WM_INITDIALOG:
      InitializePage(page, lparam);
      SetTimer(page, kTimer, kProgressPeriod, nullptr);
      SendDlgItemMessageW(page, kFileBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      SendDlgItemMessageW(page, kTotalBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      LayoutButtonsRight(page, kCancel);
      return TRUE;
    case WM_TIMER:
      if (wparam == kTimer) ProgressTick(page, PageOf<ProgressPage>(page));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == kCancel && ConfirmAbort(page)) {
        ProgressPage* self = PageOf<ProgressPage>(page);
        *self->aborted = true;
        WaitForWorkerAfterCancel(page, self->worker);
        EndDialog(page, kPageCancel);
      }
      return TRUE;
    default:
      return HandleCommonPageMessage(page, message, wparam, lparam, &result) ? result : FALSE;
  }
}

INT_PTR CALLBACK PreparationProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(window, DWLP_USER, lparam);
      const ProgressPage* self = reinterpret_cast<const ProgressPage*>(lparam);
      ExpandWindowTexts(window);
      if (self->resources) {
        ApplyPageFonts(window, *self->resources);
        if (self->resources->bigIcon)
          SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(self->resources->bigIcon));
        if (self->resources->smallIcon)
          SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(self->resources->smallIcon));
      }
      SetTimer(window, kTimer, kPreparationPeriod, nullptr);
      SendDlgItemMessageW(window, kPreparationBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
      return TRUE;
    }
    case WM_TIMER: {
      ProgressPage* self = PageOf<ProgressPage>(window);
      const WorkerView& w = self->worker;
      const int overall = *w.overallPercent;
      if (self->totalPosition < overall) {
        self->totalPosition += 20;
        if (self->totalPosition > overall) self->totalPosition = overall;
        SetBar(window, kPreparationBar, self->totalPosition);
      }
      // Done once the bar has caught up with the final percent (an extraction
      // of nothing never reports 100).
      if ((*w.done && self->totalPosition >= overall) || *w.failed) EndDialog(window, kPageNext);
      return TRUE;
    }
    case WM_COMMAND:
      return TRUE;  // neither Esc nor any key closes it
    default:
      return FALSE;
  }
}

}  // namespace

int RunPreparationWindow(const PageBase& base, const WorkerView& worker) {
  ProgressPage page;
  static_cast<PageBase&>(page) = base;
  page.worker = worker;
  return RunPage(kTemplatePreparation, PreparationProcedure, &page);
}

int RunProgressPage(const PageBase& base, const WorkerView& worker) {
  ProgressPage page;
  static_cast<PageBase&>(page) = base;
  page.worker = worker;
  return RunPage(kTemplateProgress, ProgressProcedure, &page);
}
