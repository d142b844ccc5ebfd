#include "app/QueuedSearchReporter.h"

#include "ui/QueuedCall.h"

namespace tavlo::app {
namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QueuedSearchReporter::QueuedSearchReporter(QObject* context, SearchView& view,
                                           std::shared_ptr<const bool> live)
    : context_(context), view_(view), live_(std::move(live)) {}

template <typename F>
void QueuedSearchReporter::post(F&& call) {
    ui::PostQueuedCall(context_, [live = live_, call = std::forward<F>(call)] {
        if (*live) {
            call();
        }
    });
}

void QueuedSearchReporter::controlsChanged(const protocol::SearchControls& controls) {
    post([view = &view_, controls] { view->applySearchControls(controls); });
}

void QueuedSearchReporter::message(const std::string& text) {
    post([view = &view_, text = fromUtf8(text)] { view->showSearchMessage(text); });
}

void QueuedSearchReporter::searchStarted() {
    post([view = &view_] { view->onSearchStarted(); });
}

void QueuedSearchReporter::addressProbed(const std::string& dottedAddress) {
    post([view = &view_, text = fromUtf8(dottedAddress)] { view->showProbedAddress(text); });
}

void QueuedSearchReporter::groupCreated(protocol::SearchGroup group, const std::string& text) {
    post([view = &view_, group, text = fromUtf8(text)] { view->addGroup(group, text); });
}

void QueuedSearchReporter::itemAdded(protocol::SearchGroup group, const std::string& text) {
    post([view = &view_, group, text = fromUtf8(text)] { view->addItem(group, text); });
}

void QueuedSearchReporter::itemHeardOn(protocol::SearchGroup group, const std::string& /*text*/,
                                       const std::string& interfaceName) {
    post([view = &view_, group, interfaceName] { view->noteItemInterface(group, interfaceName); });
}

void QueuedSearchReporter::groupFinished(protocol::SearchGroup group,
                                         const std::vector<std::string>& items,
                                         const std::string& label) {
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(items.size()));
    for (const auto& item : items) {
        texts.push_back(fromUtf8(item));
    }
    post([view = &view_, group, texts = std::move(texts), label = fromUtf8(label)] {
        view->finishGroup(group, texts, label);
    });
}

void QueuedSearchReporter::groupExpanded(protocol::SearchGroup group) {
    post([view = &view_, group] { view->expandGroup(group); });
}

void QueuedSearchReporter::networkError(const std::string& text) {
    post([view = &view_, text = fromUtf8(text)] { view->showSearchMessage(text); });
}

void QueuedSearchReporter::searchEnded() {
    post([view = &view_] { view->onSearchEnded(); });
}

}  // namespace tavlo::app
