// The program's own settings store and its default event log, as the
// program uses them: the store under the user's configuration folder named
// by the organisation and application, the log through syslog. The store's
// folder is moved to a temporary one; syslog is caught below by definitions
// of its entry points in this test program, which the linker prefers to the
// C library's.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include <syslog.h>

#include "PtyPeer.h"
#include "RecordingDialogs.h"
#include "pid/ui/PidEditorWidget.h"
#include "shell/Session.h"
#include "shell/ui/frmPID.h"

namespace {

std::vector<std::pair<int, std::string>> g_syslog;  // priority, text
std::string g_ident;
int g_facility = -1;

void Record(int priority, const char* format, va_list args) {
    char buf[1024];
    std::vsnprintf(buf, sizeof buf, format, args);
    g_syslog.emplace_back(priority, buf);
}

}  // namespace

extern "C" {
void openlog(const char* ident, int, int facility) {
    g_ident = ident ? ident : "";
    g_facility = facility;
}
void syslog(int priority, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Record(priority, format, args);
    va_end(args);
}
void __syslog_chk(int priority, int, const char* format, ...) {
    va_list args;
    va_start(args, format);
    Record(priority, format, args);
    va_end(args);
}
}

using namespace tuvik;

TEST(RealStore, TheProgramsOwnStoreAndTheDefaultEventLog) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    const QString file = config.filePath("VUD_OV/VUD_OV.conf");
    ASSERT_TRUE(test::WriteFile(file, "[Settings]\nComSpeed=38400\n"));
    test::Pty pty;
    ASSERT_TRUE(pty.ok());
    {
        Session session(AppPaths(config.path(), config.path(), {}));
        test::RecordingDialogs dialogs;
        frmPID::Options o;  // the program's store: no opener given
        o.dialogs = &dialogs;
        frmPID w(session, std::move(o));
        w.Form_Load();
        EXPECT_EQ(w.findChild<QLineEdit*>("txtSpeed")->text(), QStringLiteral("38400"));
        w.findChild<QLineEdit*>("txtComPort")->setText(pty.path());
        QTest::mouseClick(w.findChild<QPushButton*>("btnCon"), Qt::LeftButton);
        EXPECT_TRUE(session.ctx().LinkConnected());

        // No log installed: the entry goes to syslog as an error.
        g_syslog.clear();
        ASSERT_TRUE(session.loops()[0].Setpoint(QStringLiteral("1200")).ok());
        w.editor().ShowLoopSettings();
        ASSERT_FALSE(g_syslog.empty());
        EXPECT_EQ(
            g_syslog.back(),
            std::make_pair(int(LOG_ERR), std::string("Error TextRefresh Invalid property value")));
        EXPECT_EQ(g_ident, "VUD_OV");
        EXPECT_EQ(g_facility, LOG_USER);
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    const QString text = QString::fromUtf8(test::ReadFile(file));
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Settings]\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("ComPort=") + pty.path())) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("ComSpeed=38400"))) << text.toStdString();
}
