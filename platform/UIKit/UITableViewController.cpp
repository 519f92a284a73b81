#include "UIKit/UITableViewController.h"

#include "UIKit/UIScreen.h"

UITableViewController::UITableViewController(UITableViewStyle style) : style_(style) {}

UITableViewController::~UITableViewController() = default;

std::shared_ptr<UITableView> UITableViewController::tableView() {
    return std::dynamic_pointer_cast<UITableView>(view());
}

void UITableViewController::setTableView(const std::shared_ptr<UITableView>& tableView) {
    setView(tableView);
}

void UITableViewController::loadView() {
    auto table = std::make_shared<UITableView>(UIScreen::mainScreen()->bounds(), style_);
    table->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto self = std::static_pointer_cast<UITableViewController>(shared_from_this());
    table->setDataSource(std::static_pointer_cast<UITableViewDataSource>(self));
    table->setDelegate(std::static_pointer_cast<UITableViewDelegate>(self));
    setView(table);
}

void UITableViewController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (!clearsSelection_ || !isViewLoaded()) {
        return;
    }
    if (std::shared_ptr<UITableView> table = tableView()) {
        for (const NSIndexPath& path : table->indexPathsForSelectedRows()) {
            table->deselectRowAtIndexPathAnimated(path, animated);
        }
    }
}

void UITableViewController::setEditingAnimated(bool editing, bool animated) {
    UIViewController::setEditingAnimated(editing, animated);
    if (!isViewLoaded()) {
        return;
    }
    if (std::shared_ptr<UITableView> table = tableView()) {
        table->setEditingAnimated(editing, animated);
    }
}
