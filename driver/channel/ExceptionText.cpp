#include "ExceptionText.h"

#include <exception>

std::string DescribeCurrentException() noexcept {
    try {
        try {
            throw;
        } catch (const std::string& text) {
            return "std::string: " + text;
        } catch (int value) {
            return "int: " + std::to_string(value);
        } catch (const std::exception& e) {
            return std::string("std::exception: ") + (e.what() ? e.what() : "");
        } catch (const char* text) {
            return std::string("const char*: ") + (text ? text : "");
        } catch (...) {
            return "an exception of unknown type";
        }
    } catch (...) {
        return std::string();  // no memory for the text
    }
}
