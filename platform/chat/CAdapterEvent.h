#pragma once
// One event of the chat adapter: a list of subscriptions, each a member
// function bound to its subscriber, newest first. Subscribers add and remove
// themselves from any thread; the adapter raises the event on its own
// threads. A subscription being removed while it runs is removed once the
// call has returned, so a subscriber that has unsubscribed is never called
// again.

#include <mutex>

class CAdapter;

template <class... Args>
class CAdapterEvent {
public:
    class Subscription {
    public:
        virtual ~Subscription() = default;
        // Calls the subscriber's member function.
        virtual void Invoke(CAdapter* adapter, Args... args) = 0;
        virtual bool IsForObject(const void* object) const = 0;

    private:
        friend class CAdapterEvent;
        Subscription* m_next = nullptr;
    };

    template <class T>
    using Handler = void (T::*)(CAdapter*, Args...);

    CAdapterEvent() = default;
    CAdapterEvent(const CAdapterEvent&) = delete;
    CAdapterEvent& operator=(const CAdapterEvent&) = delete;
    ~CAdapterEvent() {
        while (m_head) {
            Subscription* node = m_head;
            m_head = node->m_next;
            delete node;
        }
    }

    // Always 0.
    template <class T>
    int AddHandler(T* object, Handler<T> handler) {
        auto* node = new Bound<T>(object, handler);
        const std::lock_guard lock(m_mutex);
        node->m_next = m_head;
        m_head = node;
        return 0;
    }

    // Removes the newest subscription of `handler` on `object`: 0, or 1 when
    // there is none.
    template <class T>
    int RemoveHandler(T* object, Handler<T> handler) {
        Subscription* found = nullptr;
        {
            const std::lock_guard lock(m_mutex);
            for (Subscription** link = &m_head; *link; link = &(*link)->m_next) {
                if (!(*link)->IsForObject(object))
                    continue;
                auto* bound = dynamic_cast<Bound<T>*>(*link);
                if (bound && bound->IsSame(object, handler)) {
                    found = *link;
                    *link = found->m_next;
                    break;
                }
            }
        }
        delete found;
        return found ? 0 : 1;
    }

    // Calls every subscription in turn.
    void Raise(CAdapter* adapter, Args... args) {
        const std::lock_guard lock(m_mutex);
        for (Subscription* node = m_head; node; node = node->m_next)
            node->Invoke(adapter, args...);
    }

    int Subscriptions() const {
        const std::lock_guard lock(m_mutex);
        int count = 0;
        for (const Subscription* node = m_head; node; node = node->m_next)
            ++count;
        return count;
    }

private:
    template <class T>
    class Bound final : public Subscription {
    public:
        Bound(T* object, Handler<T> handler) : m_object(object), m_handler(handler) {}
        void Invoke(CAdapter* adapter, Args... args) override { (m_object->*m_handler)(adapter, args...); }
        bool IsForObject(const void* object) const override { return object == m_object; }
        bool IsSame(const T* object, Handler<T> handler) const { return object == m_object && handler == m_handler; }

    private:
        T* m_object;
        Handler<T> m_handler;
    };

    mutable std::mutex m_mutex;
    Subscription* m_head = nullptr;
};
