#pragma once

#include <memory>

#include <QDialog>
#include <QString>

class Vorq_ProgressDialogForm;

// Shown while a firmware upgrade runs: a fixed notice, a status line that the
// upgrade page rewrites as the engine reports its phases, and a percentage bar.
class Vorq_ProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit Vorq_ProgressDialog(QWidget* parent = nullptr);
    ~Vorq_ProgressDialog() override;

    void setValue(int value);
    // May hold Qt rich text.
    void setText(QString text);

    const Vorq_ProgressDialogForm* form() const { return ui.get(); }

private:
    std::unique_ptr<Vorq_ProgressDialogForm> ui;
};
