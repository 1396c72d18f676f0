#pragma once
// The lifetimes of the windows the main window keeps: the message log and
// the serial link window (made at start-up, hidden), the TCP link window (a
// new one for every TCP link the connection makes), the burner window (made at start-up by its
// factory, loaded at every connect), the analog inputs window (made on first
// use by its factory) and the step test (made on first use). They all end
// with the main window.
//
// The burner and analog-input windows are written elsewhere; the registry
// only knows them as widgets it creates through factories and shows. With
// no factory set their buttons do nothing.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include "link/ui/frmClient.h"
#include "link/ui/frmRS232.h"
#include "shell/ConnectionController.h"
#include "support/ui/frmMessage.h"

namespace tuvik {

class PidEditorWidget;
class Session;
class UserDialogs;
class frmStepTest;

class WindowRegistry : public QObject, public ConnectionWindows {
    Q_OBJECT
  public:
    // mainWindow: the parent of the windows that belong to it.
    WindowRegistry(Session& session, QWidget& mainWindow);
    ~WindowRegistry() override;

    // Start-up: the hidden message log and serial link windows; the burner
    // window object from its factory.
    void CreateMessageLog();
    void CreateSerialWindow();
    void CreateBurnerWindow();

    // Hooks for the windows written elsewhere.
    void setBurnerWindowFactory(std::function<QWidget*()> f) { burnerFactory_ = std::move(f); }
    // Seam: tests put a plain widget where the burner window goes, to see the button show it.
    void setBurnerWindow(QWidget* w) { burner_ = w; }
    // What loading the burner window does (after every connect).
    void setBurnerLoader(std::function<void()> load) { loadBurner_ = std::move(load); }
    void setAnalogWindowFactory(std::function<QWidget*()> f) { analogFactory_ = std::move(f); }

    // The shell buttons: shown and brought to the front, made first if need be.
    void ShowBurnerWindow();
    void ShowMessageLog();
    void ShowAnalogWindow();
    void ShowHistory(UserDialogs* dialogs = nullptr);
    void ShowStepTest(PidEditorWidget& editor, UserDialogs& dialogs);

    // ConnectionWindows
    void ShowTcpLink(TcpLink& link, const QString& relayHost) override;
    void LoadBurnerWindow() override;

    // The end of the program: every window closed and dropped, the events
    // they leave behind processed between the steps when asked.
    void UnloadAll(bool processEvents);

    frmMessage* message() const { return message_.get(); }
    // Seam: tests click and read the link windows, which the program opens only from its menu.
    frmRS232* serial() const { return serial_.get(); }
    frmClient* client() const { return client_.get(); }
    QWidget* burner() const { return burner_; }
    QWidget* analog() const { return analog_; }
    frmStepTest* stepTest() const { return stepTest_; }

  private:
    Session& session_;
    QWidget& main_;
    std::unique_ptr<frmMessage> message_;  // hidden until Command6
    std::unique_ptr<frmRS232> serial_;     // always hidden
    std::unique_ptr<frmClient> client_;    // a new one for every TCP link
    QPointer<QWidget> burner_;             // created by the burner window factory
    QPointer<QWidget> analog_;             // created on first use of bntADinputs
    QPointer<QWidget> history_;            // created on first use of cmdHistory
    frmStepTest* stepTest_ = nullptr;      // created by the editor's btnStepTest
    std::function<QWidget*()> burnerFactory_;
    std::function<void()> loadBurner_;
    std::function<QWidget*()> analogFactory_;
};

}  // namespace tuvik
