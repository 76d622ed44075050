#include "stylesheet.h"

#include <QMap>
#include <QStringList>

QString ExpandStyleSheet(const QByteArray& raw)
{
    const int nZero = raw.indexOf('\0');
    QString strText = QString::fromUtf8(nZero >= 0 ? raw.left(nZero) : raw);

    // Comments: "/*" through the next "*/". A stray "*/" before the first
    // "/*" is left alone (the comment closes at the first "*/" after it);
    // with no "/*" left, removal ends.
    while (strText.contains("*/")) {
        const int a = strText.indexOf("/*");
        if (a < 0)
            break;
        int b = strText.indexOf("*/");
        if (b < a)
            b = strText.indexOf("*/", a);
        if (b < 0)
            break;
        strText.remove(a, b - a + 2);
    }

    // Definitions at the top: "$name = value;". The name is everything from
    // "$" up to the character before "=", so a definition is written with
    // exactly one blank before "=" (without it the name loses its last
    // character). The first rule whose ";" comes before the next "=" ends them.
    QMap<QString, QString> values;
    QStringList names;
    while (strText.contains('$')) {
        const int d = strText.indexOf('$');
        const int e = strText.indexOf('=');
        const int s = strText.indexOf(';');
        if (e < 0 || e > s)
            break;
        const QString strValue = strText.mid(e + 1, s - e - 1);
        const QString strName = d < e ? strText.mid(d, e - d - 1) : QString();
        if (!strName.isEmpty()) {
            values.insert(strName, strValue);
            names.append(strName);
        }
        strText.remove(0, s + 1);
    }

    // Substitution in definition order, one pass over the text per name;
    // the search goes on after each inserted value, so a value that
    // contains its own name cannot loop. Values that hold later names
    // multiply the text at each step (ten uses of ten uses...), so the
    // expansion stops at a size and an amount of work no real sheet reaches.
    qint64 nWork = 0;
    for (const QString& strName : names) {
        nWork += strText.size();
        if (strText.size() > kMaxStyleSheetChars || nWork > 64 * qint64(kMaxStyleSheetChars))
            break;
        const QString strValue = values.value(strName);
        QString strOut;
        strOut.reserve(strText.size());
        int nFrom = 0;
        for (int nAt = strText.indexOf(strName); nAt >= 0; nAt = strText.indexOf(strName, nAt + strName.size())) {
            strOut += strText.midRef(nFrom, nAt - nFrom);
            strOut += strValue;
            nFrom = nAt + strName.size();
            if (strOut.size() > kMaxStyleSheetChars)
                break;
        }
        strOut += strText.midRef(nFrom);
        strText = strOut;
    }
    return strText;
}
