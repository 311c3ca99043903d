#include "web/RouteTestApi.h"

#include "web/QueryParams.h"
#include "web/WebConsoleHost.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace web {

namespace {

constexpr qsizetype kMaxAddressDigits = 9;

bool IsAddress(const QString& text) {
    return !text.isEmpty() && text.size() <= kMaxAddressDigits &&
           std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

bool IsFunction(const QString& text) {
    return text.isEmpty() ||
           (text.size() == 1 && text[0] >= QLatin1Char('A') && text[0] <= QLatin1Char('D'));
}

bool IsBytes(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

} // namespace

HttpReply TestRoute(WebConsoleHost& host, const QUrl& url) {
    QueryParams params(url);
    const QString address = params.Text("address", kMaxAddressDigits);
    const QString function = params.Text("function", 1).toUpper();
    const QString text = params.Text("text", kMaxTestText);
    if (params.problem.isEmpty() && !IsAddress(address))
        params.Refuse(QStringLiteral("address: 1 to 9 digits"));
    if (params.problem.isEmpty() && !IsFunction(function))
        params.Refuse(QStringLiteral("function: A, B, C, D or empty"));
    if (params.problem.isEmpty() && !IsBytes(text))
        params.Refuse(QStringLiteral("text: a page's text holds characters U+0000 to U+00FF only"));
    if (!params.problem.isEmpty())
        return HttpReply::Error(Status::BadRequest, params.problem);

    const QByteArray addressBytes = address.toLatin1();
    const QByteArray functionBytes = function.toLatin1();
    const QByteArray textBytes = text.toLatin1();
    const routing::RoutedPage page(
        routing::PageFacts{{}, {}, functionBytes, addressBytes, {}, textBytes});
    QJsonArray outputs;
    QJsonArray publishers;
    for (const config::RouteVerdict& verdict : host.TestRoutes(page)) {
        const QJsonObject row{{QStringLiteral("description"), verdict.description},
                              {QStringLiteral("routed"), verdict.routed},
                              {QStringLiteral("problem"), verdict.problem.isEmpty()
                                                              ? QJsonValue()
                                                              : QJsonValue(verdict.problem)}};
        (verdict.table == QLatin1String("Outputs") ? outputs : publishers).append(row);
    }
    const QJsonObject answer{{QStringLiteral("outputs"), outputs},
                             {QStringLiteral("publishers"), publishers}};
    return HttpReply::Json(Status::Ok, QJsonDocument(answer).toJson(QJsonDocument::Compact));
}

} // namespace web
