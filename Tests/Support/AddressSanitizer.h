#ifndef ZETO_TESTING_ADDRESSSANITIZER_H
#define ZETO_TESTING_ADDRESSSANITIZER_H

// Defines ZETO_TEST_ADDRESS_SANITIZER in a build under AddressSanitizer,
// which intercepts the allocator and runs everything several times slower.
#if defined(__SANITIZE_ADDRESS__)
#define ZETO_TEST_ADDRESS_SANITIZER
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZETO_TEST_ADDRESS_SANITIZER
#endif
#endif

#endif // ZETO_TESTING_ADDRESSSANITIZER_H
