// Carries the discovery engine's reports from its worker thread to the window: every call is
// posted to the GUI thread as a queued call on `context`. Nothing here touches a widget on the
// worker thread. When `context` is destroyed, calls still queued for it are dropped; calls
// that arrive after the window has dropped the search (`live` false) are ignored.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "protocol/Discovery.h"

namespace tavlo::app {

// The window side of a search; every function runs on the GUI thread.
class SearchView {
  public:
    virtual ~SearchView() = default;
    virtual void applySearchControls(const protocol::SearchControls& controls) = 0;
    virtual void showSearchMessage(const QString& text) = 0;
    virtual void onSearchStarted() = 0;
    virtual void showProbedAddress(const QString& dotted) = 0;
    virtual void addGroup(protocol::SearchGroup group, const QString& text) = 0;
    virtual void addItem(protocol::SearchGroup group, const QString& text) = 0;
    // A clock of the group was heard on the local interface `interfaceName`.
    virtual void noteItemInterface(protocol::SearchGroup group,
                                   const std::string& interfaceName) = 0;
    virtual void finishGroup(protocol::SearchGroup group, const QStringList& items,
                             const QString& label) = 0;
    virtual void expandGroup(protocol::SearchGroup group) = 0;
    virtual void onSearchEnded() = 0;
};

class QueuedSearchReporter final : public protocol::SearchReporter {
  public:
    // `view` must live as long as `context` (usually they are the same window). `live` is
    // read and written on the GUI thread only.
    QueuedSearchReporter(QObject* context, SearchView& view, std::shared_ptr<const bool> live);

    void controlsChanged(const protocol::SearchControls& controls) override;
    void message(const std::string& text) override;
    void searchStarted() override;
    void addressProbed(const std::string& dottedAddress) override;
    void groupCreated(protocol::SearchGroup group, const std::string& text) override;
    void itemAdded(protocol::SearchGroup group, const std::string& text) override;
    void itemHeardOn(protocol::SearchGroup group, const std::string& text,
                     const std::string& interfaceName) override;
    void groupFinished(protocol::SearchGroup group, const std::vector<std::string>& items,
                       const std::string& label) override;
    void groupExpanded(protocol::SearchGroup group) override;
    void networkError(const std::string& text) override;
    void searchEnded() override;

  private:
    template <typename F>
    void post(F&& call);

    QObject* context_;
    SearchView& view_;
    std::shared_ptr<const bool> live_;
};

}  // namespace tavlo::app
