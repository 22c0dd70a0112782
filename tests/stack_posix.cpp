#include <pthread.h>

#include "stack.h"

namespace setup::test {

namespace {
void* Body(void* body) {
    (*static_cast<const std::function<void()>*>(body))();
    return nullptr;
}
}  // namespace

void OnStack(std::size_t bytes, const std::function<void()>& body) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, bytes);
    pthread_t thread;
    pthread_create(&thread, &attributes, Body, const_cast<std::function<void()>*>(&body));
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

}  // namespace setup::test
