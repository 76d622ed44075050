// SpiFtdi: enumeration names, the device map, opening and the argument rules.
#include "recordingtransport.h"

#include <spiflashctrl.h>
#include <spiftdi.h>

#include <results.h>

#include <QtTest>

class TestLink : public QObject {
    Q_OBJECT

    std::shared_ptr<RecordingBackend> m_pBackend;

    void Add(uint32_t nProduct, uint32_t nLocation, uint32_t nSub = 0, bool bNeedsSub = false)
    {
        mpsse::AdapterEntry e;
        e.nVendor = 0x0403;
        e.nProduct = nProduct;
        e.nLocation = nLocation;
        e.nSubLocation = nSub;
        e.bNeedsSubLocation = bNeedsSub;
        m_pBackend->entries.push_back(e);
    }

    // The divisor of the last set-up write (8A 97 8D 85 86 lo hi ...).
    int OpenedDivisor()
    {
        const auto& writes = m_pBackend->pScript->writes;
        for (auto it = writes.rbegin(); it != writes.rend(); ++it)
            if (it->size() >= 7 && (*it)[0] == 0x8A && (*it)[4] == 0x86)
                return (*it)[5] | ((*it)[6] << 8);
        return -1;
    }

private slots:
    void resultTextKeepsTheLibraryCause()
    {
        // The adapter library's reason goes with its own codes only: a cause
        // left from an earlier USB failure never decorates a chip result.
        QCOMPARE(xq::ResultText(xq::kErrUsbWrite, "libftdi: usb bulk write failed (-1)"),
                 QString("libftdi: usb bulk write failed (-1)\n未知错误 1002"));
        QCOMPARE(xq::ResultText(xq::kErrUsbReadTimeout, ""), QString("未知错误 1004"));
        QCOMPARE(xq::ResultText(xq::kErrFlashBusyTimeout, "stale"), QString("发生超时 258"));
        QCOMPARE(xq::ResultText(xq::kOk, "stale"), QString());
        QCOMPARE(xq::ResultText(xq::kErrModeChange), QString("未知错误 -3"));  // more than one cause: logged before it
    }

    void init()
    {
        m_pBackend = std::make_shared<RecordingBackend>();
    }

    void namesFollowTypeAndLocation()
    {
        Add(0x6010, 33);
        Add(0x6010, 33, 2, true);
        Add(0x6011, 33);
        Add(0x6014, 0x142);
        SpiFtdi ftdi(m_pBackend);
        QList<QByteArray> names{"stale"};
        QCOMPARE(ftdi.Enumerate(names), xq::kOk);
        QCOMPARE(names.size(), 4);
        QCOMPARE(names, (QList<QByteArray>{"FT2232-LOC-33", "FT2232-LOC-33.2", "0x6011-LOC-33", "FT232H-LOC-322"}));
        QCOMPARE(ftdi.DeviceMap().size(), 4);
    }

    void sameNameOverwritesTheMapEntry()
    {
        Add(0x6010, 33);
        Add(0x6010, 33, 9, false);  // sub-location dropped from the name and the record
        SpiFtdi ftdi(m_pBackend);
        QList<QByteArray> names;
        QCOMPARE(ftdi.Enumerate(names), xq::kOk);
        QCOMPARE(names.size(), 2);
        QCOMPARE(names.size(), 2);
        QCOMPARE(ftdi.DeviceMap().size(), 1);
        QVERIFY(ftdi.Open("FT2232-LOC-33", 6000000) == 0);
        QCOMPARE(m_pBackend->opens.back().nSubLocation, 0u);
    }

    void openUsesChannelAndClockRules()
    {
        Add(0x6010, 33);
        Add(0x6011, 17);
        SpiFtdi ftdi(m_pBackend);
        QList<QByteArray> names;
        ftdi.Enumerate(names);

        QCOMPARE(ftdi.Open("FT2232-LOC-33", 100000), xq::kOk);
        QCOMPARE(m_pBackend->opens.back().nChannel, 2);
        QCOMPARE(OpenedDivisor(), 299);  // 100 kHz

        m_pBackend->pScript->writes.clear();
        QCOMPARE(ftdi.Open("0x6011-LOC-17", 50000), xq::kOk);  // below the range: 30 MHz
        QCOMPARE(m_pBackend->opens.back().nChannel, 0);
        QCOMPARE(OpenedDivisor(), 0);

        m_pBackend->pScript->writes.clear();
        QCOMPARE(ftdi.Open("FT2232-LOC-33", 99999), xq::kOk);
        QCOMPARE(OpenedDivisor(), 0);

        QCOMPARE(ftdi.Open("FT2232-LOC-99", 6000000), xq::kErrBadArgument);
        QVERIFY(!ftdi.IsOpen());  // the open device was closed first
        QCOMPARE(ftdi.Open("", 6000000), xq::kErrBadArgument);
    }

    void argumentRules()
    {
        Add(0x6010, 33);
        SpiFtdi ftdi(m_pBackend);
        QList<QByteArray> names;
        ftdi.Enumerate(names);
        QCOMPARE(ftdi.SetClock(99999), xq::kErrBadArgument);
        QCOMPARE(ftdi.SetClock(60000001), xq::kErrBadArgument);
        QCOMPARE(ftdi.SetClock(100000), xq::kErrNotOpen);
        uint8_t b = 0x9F;
        QCOMPARE(ftdi.WriteOnly(&b, 1), xq::kErrBadArgument);  // closed
        QCOMPARE(ftdi.Open("FT2232-LOC-33", 6000000), xq::kOk);
        const size_t nWrites = m_pBackend->pScript->writes.size();
        QCOMPARE(ftdi.WriteOnly(&b, 0), xq::kErrBadArgument);
        QCOMPARE(ftdi.WriteRead(nullptr, 1, &b, 1), xq::kErrBadArgument);
        QCOMPARE(ftdi.WriteRead(&b, 1, nullptr, 1), xq::kErrBadArgument);
        ftdi.Close();
        QCOMPARE(m_pBackend->pScript->writes.size(), nWrites + 1);  // only the close
    }

    void writeReadSharesOneBuffer()
    {
        Add(0x6010, 33);
        SpiFtdi ftdi(m_pBackend);
        QList<QByteArray> names;
        ftdi.Enumerate(names);
        ftdi.Open("FT2232-LOC-33", 6000000);
        m_pBackend->pScript->replies = {0xEF, 0x40, 0x15};
        uint8_t buf[3] = {0x9F, 0, 0};
        QCOMPARE(ftdi.WriteRead(buf, 3, buf, 1), xq::kOk);
        QCOMPARE(buf[2], uint8_t(0x15));
        const auto& w = m_pBackend->pScript->writes.back();
        QCOMPARE(w[6], uint8_t(0x9F));  // sent before anything was received
    }

    void transferSendsTheSameFramesInOneRoundTrip()
    {
        Add(0x6010, 33);
        SpiFtdi ftdi(m_pBackend);
        QList<QByteArray> names;
        ftdi.Enumerate(names);
        auto& s = *m_pBackend->pScript;
        const uint8_t we = 0x06, query[5] = {0xFE, 0, 0, 0, 0}, rdsr = 0x05;
        // One by one: two round trips.
        ftdi.Open("FT2232-LOC-33", 30000000);
        s.writes.clear();
        s.replies = {0x01, 0x03};
        uint8_t mode = 0, status = 0;
        QCOMPARE(ftdi.WriteOnly(&we, 1), 0);
        QCOMPARE(ftdi.WriteRead(&mode, 1, query, 5), 0);
        QCOMPARE(ftdi.Idle(100), 0);
        QCOMPARE(ftdi.WriteRead(&status, 1, &rdsr, 1), 0);
        ftdi.Close();
        QCOMPARE(s.writes.size(), size_t(3));  // two round trips, then the close
        std::vector<uint8_t> oneByOne = s.writes[0];
        QCOMPARE(oneByOne.back(), uint8_t(0x87));
        oneByOne.pop_back();  // the send-immediate that ended the first round trip
        oneByOne.insert(oneByOne.end(), s.writes[1].begin(), s.writes[1].end());

        // As one transfer: the same bytes on the wire, one round trip, the same replies.
        ftdi.Open("FT2232-LOC-33", 30000000);
        s.writes.clear();
        s.replies = {0x01, 0x03};
        uint8_t mode2 = 0, status2 = 0;
        SpiFrame frames[3];
        frames[0].pTx = &we;
        frames[0].nTxLen = 1;
        frames[1].pTx = query;
        frames[1].nTxLen = 5;
        frames[1].pRx = &mode2;
        frames[1].nRxLen = 1;
        frames[2].pTx = &rdsr;
        frames[2].nTxLen = 1;
        frames[2].pRx = &status2;
        frames[2].nRxLen = 1;
        frames[2].nIdleBeforeUs = 100;
        QCOMPARE(ftdi.Transfer(frames, 3), 0);
        QCOMPARE(s.writes.size(), size_t(1));
        QCOMPARE(s.writes[0], oneByOne);
        QCOMPARE(mode2, uint8_t(0x01));
        QCOMPARE(status2, uint8_t(0x03));
        // A lost reply fails the transfer.
        QCOMPARE(ftdi.Transfer(frames, 3), int(mpsse::kErrReadTimeout));
    }

    void transferFailureStillEndsTheFrame()
    {
        Add(0x6010, 33);
        SpiFtdi ftdi(m_pBackend);
        QList<QByteArray> names;
        ftdi.Enumerate(names);
        ftdi.Open("FT2232-LOC-33", 6000000);
        uint8_t buf[3] = {0x9F, 0, 0};
        QCOMPARE(ftdi.WriteRead(buf, 3, buf, 1), int(mpsse::kErrReadTimeout));  // no reply scripted
        QVERIFY(ftdi.IsOpen());
    }

    // The library's count or libusb-style code never leaves the link: -4,
    // libusb's LIBUSB_ERROR_NO_DEVICE, is also kErrEncryptedReadBack.
    void enumerateNamesItsResult_data()
    {
        QTest::addColumn<int>("nLibrary");  // what the backend answers; -99: its entries' count
        QTest::addColumn<int>("nAdapters");
        QTest::addColumn<int>("nResult");
        QTest::addColumn<QList<QByteArray>>("names");
        const QList<QByteArray> kept{"kept"};
        QTest::newRow("none attached") << 0 << 0 << xq::kOk << QList<QByteArray>();
        QTest::newRow("one attached") << -99 << 1 << xq::kOk << QList<QByteArray>{"FT2232-LOC-33"};
        QTest::newRow("no device (-4)") << -4 << 0 << int(xq::kErrAdapterList) << kept;
        QTest::newRow("bus unreadable (-1)") << -1 << 1 << int(xq::kErrAdapterList) << kept;
        QTest::newRow("no memory (-11)") << -11 << 0 << int(xq::kErrAdapterList) << kept;
    }
    void enumerateNamesItsResult()
    {
        QFETCH(int, nLibrary);
        QFETCH(int, nAdapters);
        QFETCH(int, nResult);
        QFETCH(QList<QByteArray>, names);
        for (int i = 0; i < nAdapters; ++i)
            Add(0x6010, 33);
        if (nLibrary != -99)
            m_pBackend->enumerateResult = nLibrary;
        SpiFtdi ftdi(m_pBackend);
        QList<QByteArray> listed{"kept"};
        const int r = ftdi.Enumerate(listed);
        QCOMPARE(r, nResult);
        QVERIFY(r != xq::kErrEncryptedReadBack && r <= 0);  // never a chip result, never read as a count
        QCOMPARE(listed, names);  // a failed listing leaves the names as they were
        QCOMPARE(ftdi.DeviceMap().size(), nResult == xq::kOk ? names.size() : 0);
        QCOMPARE(ftdi.Open("kept", 6000000), xq::kErrBadArgument);
        // The controller passes the same result on, with the names it has.
        SpiFlashCtrl ctrl(m_pBackend);
        QList<QByteArray> ctrlNames{"old"};
        QCOMPARE(ctrl.SelectAdapter(ctrlNames, 0), nResult);
        QCOMPARE(ctrl.RefreshAdapters(ctrlNames), nResult);
        QCOMPARE(ctrlNames.size(), nResult == xq::kOk ? names.size() : 0);
    }

    void realUsbWithoutAdapterDoesNotCrash()
    {
        Add(0x6010, 33);  // a scripted adapter that the real USB path must not see
        SpiFtdi ftdi;  // no backend given: the libftdi1 backend
        QList<QByteArray> names;
        const int r = ftdi.Enumerate(names);
        QVERIFY(r == xq::kOk || r == xq::kErrAdapterList);
        if (names.isEmpty())
            QCOMPARE(ftdi.Open("FT2232-LOC-33", 6000000), xq::kErrBadArgument);
        else
            QCOMPARE(ftdi.DeviceMap().size(), names.size());  // adapters attached to this machine: one name each
    }

    void controllerAdapterSelection()
    {
        Add(0x6010, 33);
        SpiFlashCtrl ctrl(m_pBackend);
        QList<QByteArray> names;
        QCOMPARE(ctrl.RefreshAdapters(names), xq::kErrBadArgument);  // no adapter yet
        QCOMPARE(ctrl.SelectAdapter(names, 1), xq::kErrBadArgument);  // no such kind
        QCOMPARE(ctrl.SelectAdapter(names, 0), xq::kOk);
        QCOMPARE(names, QList<QByteArray>{"FT2232-LOC-33"});
        QCOMPARE(ctrl.Open("FT2232-LOC-33", 11), xq::kErrBadArgument);
        QCOMPARE(ctrl.Open("FT2232-LOC-33", -1), xq::kErrBadArgument);
        QVERIFY(!ctrl.IsOpen());
        QCOMPARE(ctrl.Open("FT2232-LOC-33", 0), xq::kOk);
        QCOMPARE(OpenedDivisor(), 299);  // rate index 0 runs at 100 kHz
        QVERIFY(ctrl.IsOpen());
        QCOMPARE(ctrl.RefreshAdapters(names), xq::kOk);
        QCOMPARE(names.size(), 1);
        QVERIFY(!ctrl.IsOpen());
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "test_link.moc"
