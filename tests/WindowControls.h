#pragma once
// A window's controls as a test reaches them: by the object names they carry,
// as a screen reader or a user finds them, not through the window's fields.

#include "capture/ImagePic.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>

// The child of Owner named Name; a missing one ends the test program, as no
// check could go on without it.
template <typename T> T *namedChild(const QObject *owner, const char *name)
{
    T *found = owner->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

#define VANTRIX_CONTROL(Type, Name) Type *Name = namedChild<Type>(window, #Name)

// The main window's controls.
struct MainControls {
    explicit MainControls(const QObject *window) : window(window) {}
    const QObject *window;
    VANTRIX_CONTROL(QPlainTextEdit, Memo1);
    VANTRIX_CONTROL(QPlainTextEdit, Memo2);
    VANTRIX_CONTROL(QPlainTextEdit, Memo3);
    VANTRIX_CONTROL(QRadioButton, RadioButton1);
    VANTRIX_CONTROL(QRadioButton, RadioButton2);
    VANTRIX_CONTROL(ImagePicWidget, ImagePic);
    VANTRIX_CONTROL(QScrollArea, ScrollBox1);
    VANTRIX_CONTROL(QLabel, StatusPanel0);
    VANTRIX_CONTROL(QTimer, WachtTimer);
    VANTRIX_CONTROL(QToolButton, SpeedButton1);
    VANTRIX_CONTROL(QToolButton, SpeedButton2);
    VANTRIX_CONTROL(QToolButton, SpeedButton3);
    VANTRIX_CONTROL(QToolButton, SpeedButton4);
    VANTRIX_CONTROL(QToolButton, SpeedButton5);
    VANTRIX_CONTROL(QToolButton, SpeedButton6);
    VANTRIX_CONTROL(QMenuBar, MainMenu1);
    VANTRIX_CONTROL(QMenu, Bestand1);
    VANTRIX_CONTROL(QAction, Vergroten1);
    VANTRIX_CONTROL(QAction, Flitsen1);
    VANTRIX_CONTROL(QAction, LeesMijtxt1);
    VANTRIX_CONTROL(QAction, Info1);
    VANTRIX_CONTROL(QAction, Weblink1);
    VANTRIX_CONTROL(QWidget, Panel7);
    VANTRIX_CONTROL(QWidget, Panel10);
    VANTRIX_CONTROL(QWidget, Panel11);
};

// The settings dialog's controls.
struct SettingsControls {
    explicit SettingsControls(const QObject *window) : window(window) {}
    const QObject *window;
    VANTRIX_CONTROL(QGroupBox, GroupBox1);
    VANTRIX_CONTROL(QLineEdit, Edit1);
    VANTRIX_CONTROL(QLineEdit, Edit2);
    VANTRIX_CONTROL(QLineEdit, Edit3);
    VANTRIX_CONTROL(QLineEdit, Edit4);
    VANTRIX_CONTROL(QPushButton, BitBtn1);
};

// The information window's controls.
struct InfoControls {
    explicit InfoControls(const QObject *window) : window(window) {}
    const QObject *window;
    VANTRIX_CONTROL(QWidget, BackPanel);
    VANTRIX_CONTROL(QWidget, WhitePanel);
    VANTRIX_CONTROL(QLabel, LogoImage);
    VANTRIX_CONTROL(QLabel, HalfCircleImage);
    VANTRIX_CONTROL(QLabel, ntLabel1);
    VANTRIX_CONTROL(QLabel, ntLabel2);
    VANTRIX_CONTROL(QLabel, ntLabel3);
    VANTRIX_CONTROL(QLabel, ntLabel4);
    VANTRIX_CONTROL(QLabel, ntLabel5);
    VANTRIX_CONTROL(QLabel, ntLabel6);
    VANTRIX_CONTROL(QLabel, ntLabel7);
    VANTRIX_CONTROL(QLabel, ntLabel8);
    VANTRIX_CONTROL(QPushButton, Button1);
    VANTRIX_CONTROL(QTimer, Timer1);
};
