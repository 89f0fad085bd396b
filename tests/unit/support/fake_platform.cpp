#include "support/fake_platform.h"

#include <stdexcept>

#include "link/link.h"

namespace veltrane::testing {

std::string FakeIni::read(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& fallback) {
    auto f = files.find(file);
    if (f == files.end()) return fallback;
    auto v = f->second.find({section, key});
    return v == f->second.end() ? fallback : v->second;
}

bool FakeIni::write(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value) {
    if (readOnly.count(file) || failingKeys.count(section + "/" + key)) return false;
    files[file][{section, key}] = value;
    writes.push_back(section + "/" + key + "=" + value);
    return true;
}

bool FakeIni::has(const std::string& file, const std::string& section, const std::string& key) const {
    auto f = files.find(file);
    return f != files.end() && f->second.count({section, key}) > 0;
}

std::string FakeIni::value(const std::string& file, const std::string& section, const std::string& key) const {
    auto f = files.find(file);
    if (f == files.end()) return {};
    auto v = f->second.find({section, key});
    return v == f->second.end() ? std::string() : v->second;
}

bool FakeFiles::createFolders(const std::string& path) {
    if (failFolders) return false;
    folders.insert(path);
    return true;
}

bool FakeFiles::appendToFile(const std::string& path, std::string_view bytes) {
    if (failAppends) return false;
    contents[path].append(bytes);
    appendOrder.push_back(path);
    appended.emplace_back(bytes);
    return true;
}

Outcome FakeHost::callback(const std::string& text) {
    callbacks.push_back(text);
    try {
        if (onCallback) onCallback(text);
    } catch (...) {
        return Outcome::Failure("host callback threw");
    }
    return {};
}

bool FakeSocket::open(const std::string& host, std::int32_t p) {
    opens.emplace_back(host, p);
    if (refuseOpen || host.empty()) return false;
    current = SocketState::Opening;
    openedPort = p;
    port = 0;
    return true;
}

void FakeSocket::close() {
    if (current == SocketState::Closed) return;
    current = SocketState::Closed;
    cti::CTISocketDisconnect(*link);
}

bool FakeSocket::send(std::string_view bytes) {
    if (throwOnSend) throw std::runtime_error("socket failed");
    if (refuseSend || current != SocketState::Connected) return false;
    packets.emplace_back(bytes);
    return true;
}

void FakeSocket::acceptConnection() {
    asHandler([this] {
        current = SocketState::Connected;
        port = openedPort;
        cti::CTISocketConnect(*link);
    });
}

void FakeSocket::serverCloses() {
    asHandler([this] {
        if (current == SocketState::Closed) return;
        current = SocketState::Closed;
        cti::CTISocketDisconnect(*link);
    });
}

void FakeSocket::receive(std::string_view bytes) {
    asHandler([this, copy = std::string(bytes)] { cti::CTISocketRead(*link, copy); });
}

void FakeSocket::fail(int errorKind, int errorCode) {
    asHandler([=, this] {
        current = SocketState::Closed;
        cti::CTISocketError(*link, errorKind, errorCode);
        cti::CTISocketDisconnect(*link);
    });
}

Outcome FakeCommandServer::listen(std::int32_t p) {
    ++listens;
    if (!failure.empty()) return Outcome::Failure(failure);
    active = true;
    port = p;
    return {};
}

Outcome FakeDefaultBrowser::writePage(const std::string& name, std::string_view bytes) {
    if (!writeFailure.empty() || pages.count(name))
        return Outcome::Failure(writeFailure.empty() ? "exists" : writeFailure);
    pages[name] = std::string(bytes);
    return {};
}

Outcome FakeDefaultBrowser::openPage(const std::string& name) {
    opened.push_back(name);
    if (!openFailure.empty()) return Outcome::Failure(openFailure);
    return {};
}

void FakeDefaultBrowser::removePages(const std::string& pattern, std::int32_t minimumAgeSeconds) {
    // Only the one pattern the library uses: a prefix, "*" and a suffix.
    const std::string prefix = pattern.substr(0, pattern.find('*'));
    const std::string suffix = pattern.substr(pattern.find('*') + 1);
    for (auto page = pages.begin(); page != pages.end();) {
        const std::string& name = page->first;
        const bool matches = name.size() >= prefix.size() + suffix.size() && name.rfind(prefix, 0) == 0 &&
                             name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
                             ageSeconds[name] >= minimumAgeSeconds;
        page = matches ? pages.erase(page) : std::next(page);
    }
}

namespace {
// CP949 and UTF-8: "가", "국", "글", "한".
const std::map<std::string, std::string> kCp949ToUtf8 = {
    {"\xB0\xA1", "\xEA\xB0\x80"},
    {"\xB1\xB9", "\xEA\xB5\xAD"},
    {"\xB1\xDB", "\xEA\xB8\x80"},
    {"\xC7\xD1", "\xED\x95\x9C"},
};

bool IsCp949Trail(unsigned char byte) {
    return (byte >= 0x41 && byte <= 0x5A) || (byte >= 0x61 && byte <= 0x7A) || (byte >= 0x81 && byte <= 0xFE);
}
}  // namespace

std::optional<std::string> FakeSystem::ansiToUtf8(std::string_view bytes) {
    std::string utf8;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            utf8 += bytes[i];
            continue;
        }
        if (byte == 0x80 || byte == 0xFF || i + 1 == bytes.size() || !IsCp949Trail(static_cast<unsigned char>(bytes[i + 1])))
            return std::nullopt;
        const auto known = kCp949ToUtf8.find(std::string(bytes.substr(i, 2)));
        if (known == kCp949ToUtf8.end()) return std::nullopt;
        utf8 += known->second;
        ++i;
    }
    return utf8;
}

TestLibrary::TestLibrary()
    : platform{clock,  ini,        files,      host,            desktop, timerConn,      connectPause, linkWork,
               socket, httpServer, httpServerRetry, browser, defaultBrowser, pageCleanup, system,     random},
      session(platform),
      lib(session.lib),
      link(session.link),
      web(session.web) {
    socket.link = &link;
    socket.asHandler = [this](const std::function<void()>& work) { handle(work); };
}

void TestLibrary::handle(const std::function<void()>& work) {
    turns.runHandler(work);
    settle();
}

void TestLibrary::call(const std::function<void()>& work) {
    turns.runExport(work);
    settle();
}

void TestLibrary::settle() {
    if (turns.busy()) return;  // the turn in progress delivers when it ends
    session.endTurn();
    while (linkWork.requested) {
        linkWork.requested = false;
        turns.runHandler([this] { cti::LinkWork(link); });
    }
}

void TestLibrary::start(const std::string& ctiAddresses) {
    ini.set(configFile(), "Connect", "CTI_IPs", ctiAddresses);
    call([this] { session.start(kBase, "Host Window"); });
    clearRecords();
}

void TestLibrary::startConnected(const std::string& phoneNo) {
    start();
    socket.acceptConnection();
    lib.config.PHONE_NO = phoneNo;
    clearRecords();
}

std::vector<std::string> TestLibrary::logLines() const {
    // An append holds one line, or a batch of them: each starts with its
    // stamp, "[YYYY-MM-DD HH:NN:SS]".
    const auto stampAt = [](const std::string& bytes, std::size_t at) {
        return bytes.size() >= at + 21 && bytes[at] == '[' && bytes[at + 20] == ']' && bytes[at + 5] == '-';
    };
    std::vector<std::string> lines;
    for (const std::string& bytes : files.appended) {
        std::size_t begin = 0;
        while (begin < bytes.size()) {
            std::size_t end = bytes.find("\r\n", begin);
            while (end != std::string::npos && end + 2 < bytes.size() && !stampAt(bytes, end + 2))
                end = bytes.find("\r\n", end + 2);
            if (end == std::string::npos) end = bytes.size();
            std::string line = bytes.substr(begin, end - begin);
            if (stampAt(line, 0)) line.erase(0, 21);
            lines.push_back(line);
            begin = end + 2;
        }
    }
    return lines;
}

std::vector<std::string> TestLibrary::logTexts(const std::string& name) const {
    std::vector<std::string> texts;
    for (const std::string& line : logLines()) {
        const auto at = line.find(" " + name + " => ");
        if (at != std::string::npos) texts.push_back(line.substr(at + name.size() + 5));
    }
    return texts;
}

std::vector<std::string> TestLibrary::alerts() {
    settle();
    std::vector<std::string> result;
    for (const AlertContent& alert : desktop.alerts) {
        std::string message = alert.message;
        if (message.rfind("\r\r", 0) == 0) message.erase(0, 2);
        if (auto end = message.rfind("\r\r\r["); end != std::string::npos) message.resize(end);
        result.push_back(alert.header + "=>" + message);
    }
    return result;
}

void TestLibrary::clearRecords() {
    settle();
    host.callbacks.clear();
    host.copies.clear();
    desktop.alerts.clear();
    files.appended.clear();
    files.appendOrder.clear();
    ini.writes.clear();
    socket.packets.clear();
    socket.opens.clear();
    browser.posts.clear();
    defaultBrowser.opened.clear();
}

}  // namespace veltrane::testing
