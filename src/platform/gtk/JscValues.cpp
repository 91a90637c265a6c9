#include "platform/gtk/JscValues.h"

#include "core/Handles.h"

namespace quorvel {
namespace {

GObjectPtr<JSCValue> Property(JSCValue* object, const char* name) {
  return GObjectPtr<JSCValue>(jsc_value_object_get_property(object, name));
}

GObjectPtr<JSCValue> Element(JSCValue* array, unsigned index) {
  return GObjectPtr<JSCValue>(jsc_value_object_get_property_at_index(array, index));
}

std::string Text(JSCValue* value) {
  gchar* text = jsc_value_to_string(value);
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

unsigned Length(JSCValue* array) {
  const auto length = Property(array, "length");
  const int n = length && jsc_value_is_number(length.get()) ? jsc_value_to_int32(length.get()) : 0;
  return n > 0 ? static_cast<unsigned>(n) : 0;
}

// Strings arrive as themselves; everything else as a {k: kind} marker made by the bridge script.
ScriptValue ReadArgument(JSCValue* value) {
  if (jsc_value_is_string(value)) return ScriptValue::Of(Text(value));
  ScriptValue result;
  if (!jsc_value_is_object(value)) return result;
  const auto kind = Property(value, "k");
  const std::string k = kind && jsc_value_is_string(kind.get()) ? Text(kind.get()) : "";
  if (k == "number") {
    const auto v = Property(value, "v");
    result.kind = ScriptValue::Kind::Number;
    result.number = v ? jsc_value_to_double(v.get()) : 0;
  } else if (k == "boolean") {
    const auto v = Property(value, "v");
    result.kind = ScriptValue::Kind::Boolean;
    result.boolean = v && jsc_value_to_boolean(v.get());
  } else if (k == "null") {
    result.kind = ScriptValue::Kind::Null;
  } else if (k == "undefined") {
    result.kind = ScriptValue::Kind::Undefined;
  } else if (k == "body") {
    result.kind = ScriptValue::Kind::BodyElement;
  } else {
    result.kind = ScriptValue::Kind::Object;
  }
  return result;
}

}  // namespace

std::optional<ExternalCall> ReadExternalCall(JSCValue* message, const std::string& token) {
  if (!message || !jsc_value_is_object(message)) return std::nullopt;
  const auto t = Property(message, "t");
  if (!t || !jsc_value_is_string(t.get()) || Text(t.get()) != token) return std::nullopt;
  const auto n = Property(message, "n");
  const auto a = Property(message, "a");
  if (!n || !jsc_value_is_string(n.get()) || !a || !jsc_value_is_array(a.get())) {
    return std::nullopt;
  }
  ExternalCall call{Text(n.get()), {}};
  const unsigned count = Length(a.get());
  call.args.reserve(count);
  for (unsigned i = 0; i < count; ++i) call.args.push_back(ReadArgument(Element(a.get(), i).get()));
  return call;
}

std::vector<std::pair<int, std::string>> ReadBatchErrors(JSCValue* result) {
  std::vector<std::pair<int, std::string>> errors;
  if (!result || !jsc_value_is_array(result)) return errors;
  const unsigned count = Length(result);
  for (unsigned i = 0; i < count; ++i) {
    const auto pair = Element(result, i);
    if (!pair || !jsc_value_is_array(pair.get())) continue;
    const auto index = Element(pair.get(), 0);
    const auto text = Element(pair.get(), 1);
    if (!index || !jsc_value_is_number(index.get()) || !text) continue;
    errors.emplace_back(jsc_value_to_int32(index.get()), Text(text.get()));
  }
  return errors;
}

}  // namespace quorvel
