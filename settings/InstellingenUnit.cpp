#include "settings/InstellingenUnit.h"

#include "base/Environment.h"
#include "base/Failure.h"
#include "ui/Fonts.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>

#include <cstdio>
#include <limits>

TInstellingenForm *InstellingenForm = nullptr;

const CodeTemplates TInstellingenForm::DefaultTemplates = {
    QStringLiteral("   X_is[@@1]= @@2;"),
    QStringLiteral("Y_is[@@1]= @@2;"),
    QStringLiteral("   X_us[@@1]= @@2;"),
    QStringLiteral("Y_us[@@1]= @@2;"),
};

namespace {

QLineEdit *makeEdit(QWidget *parent, const char *name, const QRect &geometry, const QString &text)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(geometry);
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QRect &geometry, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    return label;
}

} // namespace

TInstellingenForm::TInstellingenForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("InstellingenForm"));
    setWindowTitle(QStringLiteral("Instellingen"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(410, 123);
    setFont(windowFont());

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(5, 5, 400, 71);

    Label1 = makeLabel(GroupBox1, "Label1", QRect(10, 20, 48, 13), QStringLiteral("Ingangen:"));
    Label2 = makeLabel(GroupBox1, "Label2", QRect(10, 45, 52, 13), QStringLiteral("Uitgangen:"));
    Edit1 = makeEdit(GroupBox1, "Edit1", QRect(70, 15, 156, 21), DefaultTemplates.InX);
    Edit2 = makeEdit(GroupBox1, "Edit2", QRect(235, 15, 156, 21), DefaultTemplates.InY);
    Edit3 = makeEdit(GroupBox1, "Edit3", QRect(70, 40, 156, 21), DefaultTemplates.OutX);
    Edit4 = makeEdit(GroupBox1, "Edit4", QRect(235, 40, 156, 21), DefaultTemplates.OutY);

    BitBtn1 = new QPushButton(QIcon(QStringLiteral(":/glyphs/check.svg")), QStringLiteral("&Sluiten"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(320, 90, 85, 25);
    BitBtn1->setIconSize(QSize(18, 18));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Edit4);
    setTabOrder(Edit4, BitBtn1);
    // The first showing starts in Edit1; later ones where the focus was left.
    Edit1->setFocus();
}

void TInstellingenForm::keyPressEvent(QKeyEvent *event)
{
    // There is nothing to cancel: Escape does nothing.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    // Enter presses the default button where the focus is; the focus stays
    // there for the next showing.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !qobject_cast<QPushButton *>(focusWidget())) {
        event->accept();
        BitBtn1->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TInstellingenForm::showEvent(QShowEvent *event)
{
    centreOnScreen(this);
    QDialog::showEvent(event);
}

CodeTemplates TInstellingenForm::templates() const
{
    return CodeTemplates{Edit1->text(), Edit2->text(), Edit3->text(), Edit4->text()};
}

void TInstellingenForm::setTemplates(const CodeTemplates &t)
{
    Edit1->setText(t.InX);
    Edit2->setText(t.InY);
    Edit3->setText(t.OutX);
    Edit4->setText(t.OutY);
}

SettingsPaths TInstellingenForm::settingsFilePaths() const
{
    return settingsPaths(AppPath, IniFileName);
}

void TInstellingenForm::LeesInstellingen()
{
    QFile file(settingsFilePaths().read);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw VantrixError(QStringLiteral("Cannot read file \"%1\". %2").arg(file.fileName(), file.errorString()));
    CodeTemplates t = templates();
    parseSettings(bytes).applyTo(t);
    setTemplates(t);
}

bool TInstellingenForm::writeFile(const QString &path, QString *errorText) const
{
    // The user's own copy may be the first in its folder.
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *errorText = QStringLiteral("The folder \"%1\" cannot be made.").arg(folder);
        return false;
    }
    // Written aside and renamed over the old file only when complete, so a
    // failure never leaves a truncated file behind. Where the folder takes
    // no new file but the file itself is writable, it is rewritten in place.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    // Unbuffered, so that a short write (a full disk, a size limit) shows in
    // the count written; buffered, it could slip through to the commit.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *errorText = file.errorString();
        return false;
    }
    const QByteArray bytes = formatSettings(ProgramName, templates());
    if (file.write(bytes) != bytes.size() || file.size() != bytes.size() || !file.commit()) {
        *errorText = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool TInstellingenForm::SchrijfInstellingen()
{
    QString reason;
    const QString path = settingsFilePaths().write;
    if (writeFile(path, &reason))
        return true;
    ShowErrorMessage(ProgramName, QString(),
                     QStringLiteral("Instellingenbestand \"") + path +
                         QStringLiteral("\" kan niet worden weggeschreven."),
                     QStringLiteral("&OK"));
    return false;
}

bool TInstellingenForm::writeSettingsQuietly()
{
    QString reason;
    const QString path = settingsFilePaths().write;
    if (writeFile(path, &reason))
        return true;
    std::fprintf(stderr, "%s: settings file \"%s\" could not be written: %s\n", qPrintable(ProgramName),
                 qPrintable(path), qPrintable(reason));
    return false;
}
