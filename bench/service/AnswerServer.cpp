// Serves the files of one folder on 127.0.0.1, each at its path below the folder, to any method and
// whatever the query: the stand-in for the Orlin service in the benchmarks, run as a process of its own
// so that the server's work is not counted against the client measured. Each answer carries an ETag made
// from its file's time and size, and a request naming that tag in If-None-Match gets 304 with no body.
//
//   bench-answer-server <folder> [log]   prints the port it listens on, then serves until it is stopped;
//                                        with a log file, appends "<path> <status> <bytes>" per answer,
//                                        the bytes being the status line, headers and body as sent

#include <httplib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <folder> [log]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root = std::filesystem::canonical(argv[1]);
    httplib::Server server;
    // Read once and kept while the file is unchanged, so that the server's disk reads do not pace the
    // client being measured.
    std::mutex kept;
    std::map<std::filesystem::path, std::pair<std::filesystem::file_time_type, std::shared_ptr<std::string>>>
        files;
    const auto answer = [&](const httplib::Request& request, httplib::Response& response) {
        const std::filesystem::path file =
            std::filesystem::weakly_canonical(root / std::filesystem::path(request.path).relative_path());
        const auto [end, ignored] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
        std::error_code error;
        const auto modified = std::filesystem::last_write_time(file, error);
        if (end != root.end() || error) {
            response.status = 404;
            return;
        }
        std::shared_ptr<std::string> body;
        {
            const std::lock_guard<std::mutex> lock(kept);
            auto& entry = files[file];
            if (!entry.second || entry.first != modified) {
                std::ifstream in(file, std::ios::binary);
                auto read = std::make_shared<std::string>(std::filesystem::file_size(file, error), '\0');
                in.read(read->data(), std::streamsize(read->size()));
                entry = {modified, std::move(read)};
            }
            body = entry.second;
        }
        const std::string tag = '"' + std::to_string(modified.time_since_epoch().count()) + '-' +
                                std::to_string(body->size()) + '"';
        response.set_header("ETag", tag);
        if (request.get_header_value("If-None-Match") == tag) {
            response.status = 304;
            return;
        }
        // The type the service sends, which this server does not compress: the Qt 6.4 transport refuses a
        // compressed answer of more than 10 MiB that packs tighter than 40:1.
        response.set_content_provider(
            body->size(), "application/json; charset=utf-8",
            [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                return sink.write(body->data() + offset, length);
            });
    };
    if (argc == 3) {
        std::FILE* log = std::fopen(argv[2], "a");
        if (!log) {
            std::fprintf(stderr, "bench-answer-server: cannot open %s: %s\n", argv[2], std::strerror(errno));
            return 1;
        }
        server.set_logger([log](const httplib::Request& request, const httplib::Response& response) {
            const char* reason = response.status == 200   ? "OK"
                                 : response.status == 304 ? "Not Modified"
                                                          : "Not Found";
            // "HTTP/1.1 <status> <reason>" and its line end, the empty line after the headers, the body.
            std::size_t bytes = 13 + std::strlen(reason) + 2 + 2 + response.content_length_;
            for (const auto& [name, value] : response.headers) {
                bytes += name.size() + value.size() + 4;
            }
            std::fprintf(log, "%s %d %zu\n", request.path.c_str(), response.status, bytes);
            std::fflush(log);
        });
    }
    server.Get(R"(/.*)", answer);
    server.Post(R"(/.*)", answer);
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        std::fprintf(stderr, "bench-answer-server: cannot listen on 127.0.0.1\n");
        return 1;
    }
    std::printf("%d\n", port);
    std::fflush(stdout);
    return server.listen_after_bind() ? 0 : 1;
}
