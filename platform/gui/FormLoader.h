#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QWidget>

#include <functional>
#include <stdexcept>

namespace platform {

// Raised when a form description cannot be read or applied; the message
// names the line.
class FormError : public std::runtime_error
{
public:
    explicit FormError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// Creates objects from a form description: a small text format that names
// each object, its class and its properties in stored order.
//
//     # comment
//     object FMain : TFMain {
//         ClientWidth = 825
//         Font = font("MS Sans Serif", 11)          # family, pixel height, bold/italic/underline
//         OnCreate = FormCreate                     # event: signal "OnCreate" -> slot on the root
//         object vexButton2 : TvexButton {
//             UIStyle = DeepBlue                    # enumerators and registered constants by name
//             Caption = "Begin"                     # strings in double quotes, "" for a quote
//             Glyph = picture("pictures/go.bmp")    # relative to the description's folder
//             FileTheme = vexFileTheme1             # reference to another object, resolved at the end
//         }
//         object vexForm1 : TvexForm {
//             TitleBarButtons = [                   # collection: add() is invoked per item
//                 item { Kind = vexClose  Top = 4 }
//             ]
//         }
//     }
//
// Properties are set by name through QMetaProperty, so setters run, in the
// stored order, while every platform::Component created so far is in its
// loading state. When the whole description has been read, references are
// resolved, tab orders applied and loaded() is called on every component in
// creation order.
//
// Widgets get a few framework properties even when their class publishes no
// property of that name: Left, Top, Width, Height, ClientWidth, ClientHeight,
// MinWidth, MinHeight, Caption, Text, Font, Align (platform/gui/Align.h), TabOrder,
// Visible, Enabled, Hint, ShowHint (kept as a dynamic property that the
// skinned controls below read while their ParentShowHint is on).
// A class that publishes a property of one of these names handles it itself.
//
// A collection property is a QObject* property whose object has
//     Q_INVOKABLE QObject *add();
// the loader sets each stored item's properties on the object add() returns.
// When the object also has Q_INVOKABLE void clear(), the loader calls it
// first, so the stored items replace those the collection already held.
class FormLoader
{
public:
    using Factory = std::function<QObject *(QObject *parent)>;

    void registerClass(const QString &className, Factory factory);
    template <typename T>
    void registerClass(const QString &className)
    {
        registerClass(className, [](QObject *parent) -> QObject * { return createChild<T>(parent); });
    }
    bool hasClass(const QString &className) const { return m_factories.contains(className); }

    // Named integer constants that may stand for a value (colour names, for example).
    void registerConstant(const QString &name, qint64 value) { m_constants.insert(name, value); }

    // Reads the description from `fileName` (a Qt resource path or a file)
    // into `root`, whose class must be the one stored for the outer object.
    void load(QObject *root, const QString &fileName) const;
    void loadFromText(QObject *root, const QByteArray &text, const QString &baseDir) const;

private:
    template <typename T>
    static QObject *createChild(QObject *parent)
    {
        if constexpr (std::is_base_of_v<QWidget, T>)
            return new T(qobject_cast<QWidget *>(parent));
        else
            return new T(parent);
    }

    QHash<QString, Factory> m_factories;
    QHash<QString, qint64> m_constants;

    friend class FormReader;
};

} // namespace platform
