#pragma once

// Owners for the C handles the program holds: libxml2, libcurl, GLib/GObject and file
// descriptors. Each frees its handle on every path; there is no other definition of these
// anywhere.

#include <curl/curl.h>
#include <glib-object.h>
#include <glib.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <unistd.h>

#include <memory>
#include <utility>

namespace quorvel {

// libxml2.
struct XmlDocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct ParserCtxtFree {
  void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct XPathContextFree {
  void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};
struct XPathObjectFree {
  void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};
struct XmlCharsFree {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlCharsPtr = std::unique_ptr<xmlChar, XmlCharsFree>;
using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocFree>;
using ParserCtxtPtr = std::unique_ptr<xmlParserCtxt, ParserCtxtFree>;
using XPathContextPtr = std::unique_ptr<xmlXPathContext, XPathContextFree>;
using XPathObjectPtr = std::unique_ptr<xmlXPathObject, XPathObjectFree>;

// libcurl.
struct CurlFree {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlPtr = std::unique_ptr<CURL, CurlFree>;

// GLib.
struct GFree {
  void operator()(void* memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;
struct GKeyFileFree {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using GKeyFilePtr = std::unique_ptr<GKeyFile, GKeyFileFree>;
struct GDateTimeUnref {
  void operator()(GDateTime* value) const { g_date_time_unref(value); }
};
using GDateTimePtr = std::unique_ptr<GDateTime, GDateTimeUnref>;
struct GVariantUnref {
  void operator()(GVariant* value) const { g_variant_unref(value); }
};
using GVariantPtr = std::unique_ptr<GVariant, GVariantUnref>;

// Holds one reference to a GObject and drops it when it goes; move-only.
template <class T>
class GObjectPtr {
 public:
  GObjectPtr() = default;
  // Takes over a reference the caller owns (a *_new() result).
  explicit GObjectPtr(T* owned) : object_(owned) {}
  GObjectPtr(const GObjectPtr&) = delete;
  GObjectPtr& operator=(const GObjectPtr&) = delete;
  GObjectPtr(GObjectPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GObjectPtr& operator=(GObjectPtr&& other) noexcept {
    if (this != &other) reset(std::exchange(other.object_, nullptr));
    return *this;
  }
  ~GObjectPtr() { reset(); }

  // Adds a reference of its own (for borrowed pointers, floating ones are sunk).
  static GObjectPtr Ref(T* borrowed) {
    return GObjectPtr(borrowed ? static_cast<T*>(g_object_ref_sink(borrowed)) : nullptr);
  }

  void reset(T* owned = nullptr) {
    if (object_) g_object_unref(object_);
    object_ = owned;
  }
  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

// A file descriptor, closed when its owner goes (-1: none).
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }

  int get() const { return fd_; }
  // Closes now, reporting the result: a delayed write error can surface only here.
  bool Close() {
    if (fd_ < 0) return true;
    return close(std::exchange(fd_, -1)) == 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace quorvel
