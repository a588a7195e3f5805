#include "platform/linux/foreground/SwayIpc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstring>

namespace kelvane::linux_port::sway {

namespace {

constexpr char kMagic[] = "i3-ipc";
constexpr std::size_t kMagicSize = sizeof(kMagic) - 1;
constexpr std::size_t kHeaderSize = kMagicSize + 8;
constexpr std::uint32_t kMaxPayload = 64U << 20; // a tree of thousands of windows stays far below

bool IsView(const QJsonObject& node) {
    const QString type = node.value(QLatin1String("type")).toString();
    return type == QLatin1String("con") || type == QLatin1String("floating_con");
}

Focus FocusOfView(const QJsonObject& view) {
    Focus focus;
    focus.container = view.value(QLatin1String("id")).toInteger();
    focus.pid = static_cast<pid_t>(view.value(QLatin1String("pid")).toInteger());
    if (focus.pid < 0)
        focus.pid = 0;
    QString appId = view.value(QLatin1String("app_id")).toString();
    if (appId.isEmpty())
        appId = view.value(QLatin1String("window_properties"))
                    .toObject()
                    .value(QLatin1String("class"))
                    .toString();
    focus.appId = appId.toStdString();
    return focus;
}

QJsonArray Children(const QJsonObject& node) {
    QJsonArray children = node.value(QLatin1String("nodes")).toArray();
    for (const QJsonValue& floating : node.value(QLatin1String("floating_nodes")).toArray())
        children.append(floating);
    return children;
}

// The node marked focused in a tree, if any.
const QJsonObject* FindFocused(const QJsonObject& node, QJsonObject& holder) {
    if (node.value(QLatin1String("focused")).toBool()) {
        holder = node;
        return &holder;
    }
    for (const QJsonValue& child : Children(node))
        if (FindFocused(child.toObject(), holder) != nullptr)
            return &holder;
    return nullptr;
}

// The window a workspace would give the focus to: down its focus stacks to a leaf.
Focus FocusOfWorkspace(const QJsonObject& workspace) {
    QJsonObject node = workspace;
    for (int depth = 0; depth < 64; ++depth) {
        const QJsonArray children = Children(node);
        if (children.isEmpty())
            return IsView(node) ? FocusOfView(node) : Focus{};
        const QJsonArray order = node.value(QLatin1String("focus")).toArray();
        const qint64 first = order.isEmpty() ? -1 : order.first().toInteger();
        QJsonObject next = children.first().toObject();
        for (const QJsonValue& child : children)
            if (child.toObject().value(QLatin1String("id")).toInteger() == first)
                next = child.toObject();
        node = next;
    }
    return {};
}

} // namespace

std::string Frame(std::uint32_t type, const std::string& payload) {
    std::string message(kMagic, kMagicSize);
    const auto length = static_cast<std::uint32_t>(payload.size());
    message.append(reinterpret_cast<const char*>(&length), 4);
    message.append(reinterpret_cast<const char*>(&type), 4);
    return message + payload;
}

bool Stream::Next(std::uint32_t& type, std::string& payload) {
    if (broken_ || buffer_.size() < kHeaderSize)
        return false;
    if (buffer_.compare(0, kMagicSize, kMagic) != 0) {
        broken_ = true;
        return false;
    }
    std::uint32_t length = 0;
    std::memcpy(&length, buffer_.data() + kMagicSize, 4);
    std::memcpy(&type, buffer_.data() + kMagicSize + 4, 4);
    if (length > kMaxPayload) {
        broken_ = true;
        return false;
    }
    if (buffer_.size() < kHeaderSize + length)
        return false;
    payload = buffer_.substr(kHeaderSize, length);
    buffer_.erase(0, kHeaderSize + length);
    return true;
}

bool Apply(std::uint32_t type, const std::string& payload, Focus& focus) {
    const QJsonObject message = QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
    if (type == kGetTree) {
        QJsonObject holder;
        const QJsonObject* focused = FindFocused(message, holder);
        focus = focused != nullptr && IsView(*focused) ? FocusOfView(*focused) : Focus{};
        return true;
    }
    const QString change = message.value(QLatin1String("change")).toString();
    if (type == kEventWindow) {
        const QJsonObject container = message.value(QLatin1String("container")).toObject();
        if (change == QLatin1String("focus")) {
            focus = FocusOfView(container);
            return true;
        }
        if (change == QLatin1String("close") &&
            container.value(QLatin1String("id")).toInteger() == focus.container) {
            focus = Focus{}; // until sway says which window has the focus now
            return true;
        }
        return false;
    }
    if (type == kEventWorkspace && change == QLatin1String("focus")) {
        focus = FocusOfWorkspace(message.value(QLatin1String("current")).toObject());
        return true;
    }
    return false;
}

} // namespace kelvane::linux_port::sway
