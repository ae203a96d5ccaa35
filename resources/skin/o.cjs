/* Marrowbeck skin: a quiet, flat look for the connection window.
   Loaded as a Qt style sheet and applied to that window only. */

QWidget#Form1 {
    background-color: #f4f6f8;
}

QGroupBox#Frame1 {
    background-color: #ffffff;
    border: 1px solid #c9d1d9;
    border-radius: 6px;
    margin-top: 9px;
    color: #1f3b57;
}

QGroupBox#Frame1::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 8px;
    padding: 0 4px;
    background-color: #ffffff;
}

QLabel {
    background-color: transparent;
    color: #1f3b57;
}

QLineEdit {
    background-color: #ffffff;
    border: 1px solid #b5bfc9;
    border-radius: 3px;
    padding: 1px 4px;
    selection-background-color: #2f6fae;
}

QLineEdit:focus {
    border: 1px solid #2f6fae;
}

QLineEdit#Text2 {
    lineedit-password-character: 42;
}

QPushButton {
    background-color: #ffffff;
    color: #1f3b57;
    border: 1px solid #9fb0c1;
    border-radius: 4px;
}

QPushButton:hover {
    background-color: #e8f0f8;
    border-color: #2f6fae;
}

QPushButton:pressed {
    background-color: #d3e2f1;
}

QPushButton:focus {
    border: 2px solid #2f6fae;
}

QPushButton#PushButton2 {
    background-color: #2f6fae;
    color: #ffffff;
    border-color: #24578a;
}

QPushButton#PushButton2:hover {
    background-color: #3a7fc2;
}
