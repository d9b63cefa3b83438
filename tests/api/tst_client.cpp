// The API test client against a scripted server of our own: what it sends
// arrives as sent, and what the server sends (frames and close codes) comes
// back unchanged through the control channel.

#include "support/apiclient.h"

#include <QHostAddress>
#include <QWebSocket>
#include <QWebSocketServer>
#include <QtTest>

#include <memory>

using TestSupport::ApiClient;

class TestApiClient : public QObject
{
    Q_OBJECT

private slots:
    void exchangesFramesAndCloseCodes()
    {
        QWebSocketServer server(QStringLiteral("script"), QWebSocketServer::NonSecureMode);
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        std::unique_ptr<QWebSocket> peer; // not owned by the server
        QByteArray binaryReceived;
        connect(&server, &QWebSocketServer::newConnection, this, [&] {
            peer.reset(server.nextPendingConnection());
            connect(peer.get(), &QWebSocket::textMessageReceived, peer.get(), [&](const QString &text) {
                if (text == QLatin1String("close"))
                    peer->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("bye"));
                else
                    peer->sendTextMessage(text);
            });
            connect(peer.get(), &QWebSocket::binaryMessageReceived, peer.get(),
                    [&](const QByteArray &bytes) { binaryReceived = bytes; });
            peer->sendTextMessage(QStringLiteral("hello"));
            peer->sendTextMessage(QString());
        });

        ApiClient client(server.serverPort());
        QVERIFY2(client.isConnected(), qPrintable(client.error()));
        QCOMPARE(client.expectText(), QStringLiteral("hello"));
        const QString empty = client.expectText();
        QVERIFY(!empty.isNull() && empty.isEmpty());

        const QString text = QStringLiteral("{\"seq\":1,\"templateName\":\"文书档案 \\\"A\\\"\"}\n");
        QVERIFY(client.sendText(text));
        QCOMPARE(client.expectText(), text);
        QVERIFY(client.sendText(QStringLiteral("ab"), 3));
        QCOMPARE(client.expectText(), QStringLiteral("ababab"));
        QVERIFY(client.sendBinary(QByteArray("\x00\xff", 2)));
        QTRY_COMPARE(binaryReceived, QByteArray("\x00\xff", 2));
        QVERIFY(client.expect(1, 200).isEmpty()); // nothing more came

        QVERIFY(client.sendText(QStringLiteral("close")));
        const QList<ApiClient::Event> end = client.expect();
        QCOMPARE(end.size(), 1);
        QCOMPARE(end.first().type, ApiClient::Event::Type::Closed);
        QCOMPARE(end.first().closeCode, 1001);
        QCOMPARE(end.first().closeReason, QStringLiteral("bye"));
        QVERIFY(end.first().byServer);

        ApiClient refused(server.serverPort() == 1 ? 2 : 1);
        QVERIFY(!refused.isConnected());
        QVERIFY(!refused.error().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestApiClient)
#include "tst_client.moc"
