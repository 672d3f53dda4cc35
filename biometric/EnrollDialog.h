// CDlgEnroll: the modal dialog that adds one finger to the account's Windows Hello enrolments.
// It identifies the touched finger against the whole system pool first (a finger enrolled for
// any account is refused), then enrols it at the first free Windows Hello position while the
// picture fills up, commits, and offers to scan another finger.
//
// DoModal returns ENROLL_RESULT_DONE (1) after the success or already-enrolled box was closed,
// ENROLL_RESULT_CANCELLED (2) after a cancel (close button, Cancel label, system suspend or
// CancelEnroll from the owner, also while a box is up) and ENROLL_RESULT_FAILED (3) after a
// "Failure" box; -1 when the window could not be created. The object can be run again: every run
// starts over.
#pragma once

#include "biometric/WbfInfo.h"
#include "ui/Announcer.h"
#include "ui/DialogEx.h"
#include "ui/FontStatic.h"
#include "ui/HoverPicBtn.h"

#include <string>

inline constexpr INT_PTR ENROLL_RESULT_DONE = 1;
inline constexpr INT_PTR ENROLL_RESULT_CANCELLED = 2;
inline constexpr INT_PTR ENROLL_RESULT_FAILED = 3;

class CDlgMessageBox;

class CDlgEnroll : public CDialogEx {
public:
    // Builds the dialog's own CWbfInfo, which discovers the sensor's unit right away.
    explicit CDlgEnroll(HWND parent = nullptr);
    ~CDlgEnroll() override;

    // Cancels the pending framework operation, closes the session and ends the modal run with
    // ENROLL_RESULT_CANCELLED. The owner calls it when the sensor goes away while the dialog is
    // open; harmless when the dialog is not running.
    void CancelEnroll();

    // The sub-factor the next enrolment asks for (0 before the first run).
    WINBIO_BIOMETRIC_SUBTYPE GetNextSubFactor() const { return m_nNextSubFactor; }
    const std::wstring& GetTitleText() const { return m_strTitle; }
    const std::wstring& GetMessageText() const { return m_strMessage; }
    // The bitmap id the progress picture shows now.
    int GetProgressBitmap() const { return m_picProgress.GetNormalBitmap(); }
    // Samples accepted in this run's enrolment so far (the framework's count).
    long GetAcceptedSamples() const { return m_nAccepted; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange() override;
    bool PreTranslateMessage(MSG* msg) override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnOK() override;
    void OnCancel() override;
    void OnPaint(HDC dc) override;
    void OnLookChanged() override;
    bool OnCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // Places and colours the controls with the texts the dialog shows now; again when the look
    // changes.
    void Layout();
    // The message label's height for the text it shows.
    void PlaceMessage();
    // Roles, names, tab order and window text for the keyboard and screen readers
    // (EnrollDialogAccess.cpp).
    void SetUpCommandAccess();
    // The progress picture's name and value for readers: the stage's title, and how many of
    // the print's eight steps the accepted samples have filled, as a percentage.
    void ShowProgressValue();
    // A sample was accepted (0 when the run starts over); the count only grows within a run.
    void CountAcceptedSample(long count);
    // Each accepted sample is told to readers: the instruction with how far the print is.
    void AnnounceProgress();
    // A refused sample: what to do differently, shown under the instruction and told to readers,
    // until the next accepted sample or the end of the run.
    void ShowHint(unsigned long rejectDetail);
    void HideHint();
    // The hint's look and place: the strip between the instruction's four lines and Cancel, which
    // nothing else uses, in two lines of smaller text at most.
    void PlaceHint(const std::wstring& text);
    void UpdateNextSubFactor();
    void SetProgressPicture(int state);
    void SetTitleText(const std::wstring& text);
    void SetMessageText(const std::wstring& text);
    // Starts the identification; a start the framework refuses is this stage's failure.
    void StartIdentify();
    // Begins the enrolment at the next position; a refused begin is the enrolment's failure.
    void StartEnroll();
    // Reports a refused start to ourselves the way the framework reports a failed request, as an
    // event of the current session, so that it takes the failure's way.
    void PostStartFailure(UINT message, unsigned int event, HRESULT hr);
    LRESULT OnIdentifyMessage(WPARAM wParam, LPARAM lParam);
    LRESULT OnEnrollMessage(WPARAM wParam, LPARAM lParam);
    void OnFingerExists();
    void OnEnrollRestart();
    // A box over the dialog, closed by CancelEnroll too; callers check m_bEnding afterwards.
    INT_PTR ShowBox(const std::wstring& text, std::uint32_t style, const std::wstring& caption);
    void ShowFailure(const wchar_t* format, LPARAM code);

    CFontStatic m_stTitle;
    CFontStatic m_stMessage;
    CHoverPicBtn m_picProgress;
    CHoverPicBtn m_btnClose;
    CFontStatic m_stCancel;
    CAnnouncer m_announcer;
    CFontStatic m_stHint;

    CWbfInfo m_WbfInfo;
    WINBIO_BIOMETRIC_SUBTYPE m_nNextSubFactor = 0;
    // The account's enrolments as last counted: whether another finger has a free position.
    FingerFlags m_flagsEnrolled = {};
    std::wstring m_strTitle;
    std::wstring m_strMessage;
    long m_nAccepted = 0;
    bool m_bComplete = false;
    // Set once the run has asked to end: events the framework still posts (a cancelled
    // capture completes with WINBIO_E_CANCELED) may arrive before the modal loop is left, and
    // must not open a box of a run that is over.
    bool m_bEnding = false;
    CDlgMessageBox* m_pBox = nullptr; // the box on screen, while one is
};
