#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

// Acts on the next modal window of type T once it is up: a test cannot answer a window that
// runs its own event loop from the outside. Gives up after timeoutMs or when the driver goes
// out of scope, so it never answers a window of a later test; Answered() tells.
template <class T>
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(T*)> act, int timeoutMs = 5000)
        : m_state(std::make_shared<State>()) {
        auto state = m_state;
        auto* timer = new QTimer;
        m_timer = timer;
        timer->setInterval(5);
        const int ticks = timeoutMs / 5;
        QObject::connect(timer, &QTimer::timeout, timer, [state, timer, act, ticks] {
            auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
            if (window && window->isVisible()) {
                state->answered = true;
                timer->stop();
                timer->deleteLater();
                act(window);
            } else if (++state->ticks > ticks) {
                timer->stop();
                timer->deleteLater();
            }
        });
        timer->start();
    }
    ~ModalDriver() { delete m_timer.data(); }
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    bool Answered() const { return m_state->answered; }

private:
    struct State {
        bool answered = false;
        int ticks = 0;
    };
    std::shared_ptr<State> m_state;
    QPointer<QTimer> m_timer;
};

// What a message box showed, and the button that answered it.
struct SeenBox {
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool seen = false;
};

// Answers the next message box with button and records it in *seen.
inline ModalDriver<QMessageBox> AnswerBox(SeenBox* seen, QMessageBox::StandardButton button) {
    return ModalDriver<QMessageBox>([seen, button](QMessageBox* box) {
        seen->seen = true;
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons = box->standardButtons();
        if (QAbstractButton* answer = box->button(button)) {
            answer->click();
        } else {
            box->done(button);
        }
    });
}
