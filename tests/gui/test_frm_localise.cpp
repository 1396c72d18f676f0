#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "BurnerFixture.h"
#include "burner/frmAllParams.h"
#include "burner/frmFlamora.h"
#include "burner/frmLocalise.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

// The interface language follows the locale the program runs under.
class LocaleScope {
  public:
    explicit LocaleScope(const QLocale& l) { QLocale::setDefault(l); }
    ~LocaleScope() { QLocale::setDefault(previous_); }

  private:
    QLocale previous_;
};

struct Captions {
    QString led0, led3, check, address, value, send, read;
};

Captions WindowCaptions(const QLocale& locale) {
    const LocaleScope scope(locale);
    BurnerSession s("#define A 1\r\n");
    frmFlamora form(*s.session, &s.dialogs);
    form.Load();
    frmAllParams* all = form.allParams();
    all->Load();
    auto text = [&](const char* name) {
        return form.findChild<QLabel*>(QString::fromLatin1(name))->text();
    };
    auto button = [&](const char* name) {
        return all->findChild<QPushButton*>(QString::fromLatin1(name))->text();
    };
    Captions c{text("Label9_0"),
               text("Label9_3"),
               form.findChild<QCheckBox*>(QStringLiteral("CheckSaveMeas"))->text(),
               text("Label4"),
               text("Label11"),
               button("Command3"),
               button("btnRead")};
    // Ordinary hints stay as designed.
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("txtFlamoraParams_8"))->toolTip(),
              QString::fromUtf8("Syöttölämpötilaraja esim 50 -150"));
    EXPECT_EQ(text("Label9_8"), QStringLiteral("State LED"));
    return c;
}

}  // namespace

TEST(Localise, BurnerWindowsUnderFinnishAndEnglishLocales) {
    const Captions fi = WindowCaptions(QLocale(QLocale::Finnish, QLocale::Finland));
    EXPECT_EQ(fi.led0, QStringLiteral("Arina"));
    EXPECT_EQ(fi.led3, QStringLiteral("Sytytysvastys"));  // designed "Sytytysvastus"
    EXPECT_EQ(fi.check, QStringLiteral("Tallenna mittaukset tiedostoon"));
    EXPECT_EQ(fi.address, QStringLiteral("Osoite"));
    EXPECT_EQ(fi.value, QStringLiteral("Arvo"));
    EXPECT_EQ(fi.send, QString::fromUtf8("Lähetä arvot"));  // designed "Lähetä"
    EXPECT_EQ(fi.read, QStringLiteral("Lue arvot"));

    const Captions en = WindowCaptions(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(en.led0, QStringLiteral("Grate"));
    EXPECT_EQ(en.led3, QStringLiteral("Startup heater"));
    EXPECT_EQ(en.check, QStringLiteral("Save measurements to file"));
    EXPECT_EQ(en.address, QStringLiteral("Address"));
    EXPECT_EQ(en.value, QStringLiteral("Value"));
    EXPECT_EQ(en.send, QStringLiteral("Send params"));
    EXPECT_EQ(en.read, QStringLiteral("Read params"));

    // Another language gets English.
    const Captions sv = WindowCaptions(QLocale(QLocale::Swedish, QLocale::Finland));
    EXPECT_EQ(sv.led0, QStringLiteral("Grate"));
}

TEST(Localise, EveryKindOfControl) {
    QWidget form;
    SetTag(&form, QStringLiteral("10004"));
    form.setWindowTitle(QStringLiteral("designed"));
    auto* label = new QLabel(QStringLiteral("Arina"), &form);
    SetTag(label, QStringLiteral("10101"));
    auto* plain = new QLabel(QStringLiteral("Tgas"), &form);
    plain->setToolTip(QStringLiteral("10001"));  // a label takes no tooltip
    auto* button = new QPushButton(QStringLiteral("Lähetä"), &form);
    SetTag(button, QStringLiteral("10003"));
    button->setToolTip(QStringLiteral("10151"));
    auto* zero = new QPushButton(QStringLiteral("keep"), &form);
    SetTag(zero, QStringLiteral("0"));
    zero->setToolTip(QStringLiteral("Tamun ohjaus 0-100"));
    auto* group = new QGroupBox(QStringLiteral("Osoite"), &form);
    SetTag(group, QStringLiteral("10151"));
    auto* menuBar = new QMenuBar(&form);
    QAction* item = menuBar->addAction(QStringLiteral("10002"));
    QAction* word = menuBar->addAction(QStringLiteral("File"));
    auto* tabs = new QTabWidget(&form);
    tabs->addTab(new QWidget, QStringLiteral("t0"));
    tabs->tabBar()->setTabData(0, QStringLiteral("10152"));
    tabs->setTabToolTip(0, QStringLiteral("10150"));
    auto* toolbar = new QToolBar(&form);
    QAction* tool = toolbar->addAction(QStringLiteral("x"));
    tool->setToolTip(QStringLiteral("10001"));
    auto* tree = new QTreeWidget(&form);
    tree->setHeaderLabels({QStringLiteral("a"), QStringLiteral("b")});
    tree->headerItem()->setData(1, Qt::UserRole, QStringLiteral("10152"));

    auto* owned = new QWidget(&form, Qt::Window);
    auto* ownedLabel = new QLabel(QStringLiteral("Arina"), owned);
    SetTag(ownedLabel, QStringLiteral("10101"));

    LocaliseCaptions(&form, Language::English);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Read params"));
    EXPECT_EQ(ownedLabel->text(), QStringLiteral("Arina"));  // another window
    EXPECT_EQ(label->text(), QStringLiteral("Grate"));
    EXPECT_EQ(plain->text(), QStringLiteral("Tgas"));
    EXPECT_EQ(plain->toolTip(), QStringLiteral("10001"));
    EXPECT_EQ(button->text(), QStringLiteral("Send params"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Address"));
    EXPECT_EQ(zero->text(), QStringLiteral("keep"));
    EXPECT_EQ(zero->toolTip(), QStringLiteral("Tamun ohjaus 0-100"));
    EXPECT_EQ(group->title(), QStringLiteral("Address"));
    EXPECT_EQ(item->text(), QStringLiteral("Read from file"));
    EXPECT_EQ(word->text(), QStringLiteral("File"));
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Value"));
    EXPECT_EQ(tabs->tabToolTip(0), QStringLiteral("Save measurements to file"));
    EXPECT_EQ(tool->toolTip(), QStringLiteral("Save to file"));
    EXPECT_EQ(tree->headerItem()->text(0), QStringLiteral("a"));
    EXPECT_EQ(tree->headerItem()->text(1), QStringLiteral("Value"));

    // Again in Finnish: tags still carry their numbers; a menu item's number
    // was its caption and is gone.
    LocaliseCaptions(&form, Language::Finnish);
    EXPECT_EQ(label->text(), QStringLiteral("Arina"));
    EXPECT_EQ(button->text(), QString::fromUtf8("Lähetä arvot"));
    EXPECT_EQ(item->text(), QStringLiteral("Read from file"));
}
