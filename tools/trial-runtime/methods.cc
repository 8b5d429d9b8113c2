// methods.cc: the trial runtime's answers to each method (see methods.h).
// Tested through tests/trial_runtime_test.cc.
#include "methods.h"

#include <cstdlib>

using XmlRpc::XmlRpcValue;

namespace {

int ParamCount(const XmlRpcValue& params) {
  return params.getType() == XmlRpcValue::TypeArray ? params.size() : 0;
}

bool IntParam(const XmlRpcValue& params, int i, int* value) {
  if (ParamCount(params) <= i || params[i].getType() != XmlRpcValue::TypeInt) return false;
  *value = static_cast<int>(params[i]);
  return true;
}

bool StringParam(const XmlRpcValue& params, int i, std::string* value) {
  if (ParamCount(params) <= i || params[i].getType() != XmlRpcValue::TypeString) return false;
  *value = static_cast<const std::string&>(params[i]);
  return true;
}

// An index sent as an int or as its decimal text.
bool IndexParam(const XmlRpcValue& params, int i, int* index) {
  if (IntParam(params, i, index)) return true;
  std::string text;
  return StringParam(params, i, &text) && ParseIndex(text, index);
}

TrialAnswer Fault(const std::string& text) {
  TrialAnswer answer;
  answer.fault = true;
  answer.fault_text = text;
  return answer;
}

TrialAnswer Answer(const XmlRpcValue& first) {
  TrialAnswer answer;
  answer.value.setSize(1);
  answer.value[0] = first;
  return answer;
}

// A written value in double quotes is stored without them.
std::string Unquoted(const std::string& value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    return value.substr(1, value.size() - 2);
  return value;
}

// Stores value into variable unless writes are refused: the answered status.
int Store(const TrialProject& project, TrialVariable* variable, const std::string& value,
          bool refuse_writes) {
  if (variable == nullptr || refuse_writes || project.read_only.count(variable->name) != 0)
    return 0;
  variable->value = Unquoted(value);
  return 1;
}

TrialAnswer GetVarByName(const XmlRpcValue& params, TrialProject& project) {
  int mode = 0;
  std::string name;
  if (ParamCount(params) != 2 || !IntParam(params, 0, &mode) || !StringParam(params, 1, &name))
    return Fault("getvarbyname: expects int mode, string name");
  const TrialVariable* variable = FindVariableByName(project, name);
  if (variable == nullptr) return Fault("getvarbyname: unknown name " + name);
  const std::string value = AnsweredValue(*variable);
  switch (mode) {
    case 1: return Answer(variable->name + "=" + value);
    case 2: return Answer(value);
    case 3:
      return Answer(std::to_string(variable->index) + ";" + variable->name + ";" +
                    std::string(1, variable->kind) + ";" + value);
  }
  return Fault("getvarbyname: unknown mode " + std::to_string(mode));
}

TrialAnswer GetVarByIdx(const XmlRpcValue& params, TrialProject& project) {
  int mode = 0;
  int index = 0;
  std::string text;
  if (ParamCount(params) != 2 || !IntParam(params, 0, &mode) || !StringParam(params, 1, &text))
    return Fault("getvarbyidx: expects int mode, string index");
  const TrialVariable* variable = ParseIndex(text, &index) ? FindVariableByIndex(project, index)
                                                          : nullptr;
  if (variable == nullptr) return Fault("getvarbyidx: unknown index " + text);
  return Answer(variable->name + "=" + AnsweredValue(*variable));
}

// "index=value" or "NAME=value": the part before the first "=" and the rest.
bool SplitAssignment(const std::string& text, std::string* key, std::string* value) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos) return false;
  *key = text.substr(0, equals);
  *value = text.substr(equals + 1);
  return true;
}

TrialAnswer SetVarByIdx(const XmlRpcValue& params, TrialProject& project, bool refuse_writes) {
  std::string command, key, value;
  if (ParamCount(params) != 1 || !StringParam(params, 0, &command))
    return Fault("setvarbyidx: expects string index=value");
  int index = 0;
  TrialVariable* variable = nullptr;
  if (SplitAssignment(command, &key, &value) && ParseIndex(key, &index))
    variable = FindVariableByIndex(project, index);
  return Answer(Store(project, variable, value, refuse_writes));
}

TrialAnswer SetVarByName(const XmlRpcValue& params, TrialProject& project, bool refuse_writes) {
  std::string command, key, value;
  if (ParamCount(params) != 1 || !StringParam(params, 0, &command))
    return Fault("setvarbyname: expects string NAME=value");
  TrialVariable* variable = nullptr;
  if (SplitAssignment(command, &key, &value)) variable = FindVariableByName(project, key);
  return Answer(Store(project, variable, value, refuse_writes));
}

TrialAnswer StartMacroIdx(const XmlRpcValue& params, const TrialProject& project) {
  int index = 0;
  if (ParamCount(params) != 1) return Fault("startmacroidx: expects one index");
  if (!IndexParam(params, 0, &index) || FindMacroByIndex(project, index) == nullptr)
    return Answer(-1);
  return Answer(0);
}

TrialAnswer GetIdx(const std::string& method, const XmlRpcValue& params,
                   TrialProject& project) {
  std::string name;
  if (ParamCount(params) != 1 || !StringParam(params, 0, &name))
    return Fault(method + ": expects string name");
  if (method == "getvaridx") {
    const TrialVariable* variable = FindVariableByName(project, name);
    return Answer(variable != nullptr ? variable->index : -1);
  }
  const TrialMacro* macro = FindMacroByName(project, name);
  return Answer(macro != nullptr ? macro->index : -1);
}

TrialAnswer CreateVarList(const XmlRpcValue& params, const TrialProject& project) {
  std::string prefix;
  if (ParamCount(params) != 1 || !StringParam(params, 0, &prefix))
    return Fault("createvarlist: expects string prefix");
  // "" and "*" list all; a final "*" of a longer prefix is a wildcard too.
  if (!prefix.empty() && prefix.back() == '*') prefix.pop_back();
  prefix = UpperName(prefix);
  std::string list;
  for (const TrialVariable& variable : project.variables) {
    if (variable.name.compare(0, prefix.size(), prefix) != 0) continue;
    if (!list.empty()) list += ';';
    list += variable.name;
  }
  if (list.empty()) return Answer(0);
  TrialAnswer answer = Answer(2);
  answer.value[1] = list;
  return answer;
}

TrialAnswer WorkFile(const XmlRpcValue& params) {
  const int count = ParamCount(params);
  std::string text;
  bool strings = count == 2 || count == 3;
  for (int i = 0; strings && i < count; ++i) strings = StringParam(params, i, &text);
  if (!strings) return Fault("workfile: expects string action, string name[, string new name]");
  return Answer(1);
}

TrialAnswer ComAblaufkern(const XmlRpcValue& params) {
  int command = 0;
  if (ParamCount(params) != 1 || !IntParam(params, 0, &command))
    return Fault("comablaufkern: expects int command");
  if (command != 110) return Answer(0);
  TrialAnswer answer = Answer(1);
  answer.end_process = true;
  return answer;
}

}  // namespace

TrialAnswer AnswerCall(const std::string& method, const XmlRpcValue& params,
                       TrialProject& project, bool refuse_writes) {
  if (method == "getvarbyname") return GetVarByName(params, project);
  if (method == "getvarbyidx") return GetVarByIdx(params, project);
  if (method == "setvarbyidx") return SetVarByIdx(params, project, refuse_writes);
  if (method == "setvarbyname") return SetVarByName(params, project, refuse_writes);
  if (method == "startmacroidx") return StartMacroIdx(params, project);
  if (method == "getvaridx" || method == "getobjidx") return GetIdx(method, params, project);
  if (method == "createvarlist") return CreateVarList(params, project);
  if (method == "workfile") return WorkFile(params);
  if (method == "comablaufkern") return ComAblaufkern(params);
  return Fault(method + ": unknown method name");
}

void SwapAnswerTypes(XmlRpcValue* answer) {
  for (int i = 0; i < ParamCount(*answer); ++i) {
    XmlRpcValue& element = (*answer)[i];
    if (element.getType() == XmlRpcValue::TypeInt) {
      element = std::to_string(static_cast<int>(element));
    } else if (element.getType() == XmlRpcValue::TypeString) {
      element = std::atoi(static_cast<const std::string&>(element).c_str());
    }
  }
}

std::string CallLine(const std::string& method, const XmlRpcValue& params) {
  std::string line = method;
  for (int i = 0; i < ParamCount(params); ++i) {
    const XmlRpcValue& param = params[i];
    line += '\t';
    switch (param.getType()) {
      case XmlRpcValue::TypeInt: line += std::to_string(static_cast<int>(param)); break;
      case XmlRpcValue::TypeString: line += static_cast<const std::string&>(param); break;
      default: line += param.toXml(); break;  // other types only in hand-made calls
    }
  }
  return line;
}
